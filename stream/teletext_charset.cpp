// The G0 Latin set of teletext and its national option subsets, chosen by
// a page's G0 designation (X/28/0, M/29/0) or its language's region, and
// the header's C12-C14.
#include "stream/teletext_coding.h"

#include <cstring>

const u8 kNationalCodes[kNationalPositions] = {0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D, 0x5E,
                                               0x5F, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};

// In the order of TeletextSubset, at the codes of kNationalCodes.
const u16 kNationalCharacters[kSubsetCount][kNationalPositions] = {
    // Czech/Slovak: # ů č ť ž ý í ř é á ě ú š
    {0x0023, 0x016F, 0x010D, 0x0165, 0x017E, 0x00FD, 0x00ED, 0x0159, 0x00E9, 0x00E1, 0x011B, 0x00FA, 0x0161},
    // English: £ $ @ ← ½ → ↑ # — ¼ ‖ ¾ ÷
    {0x00A3, 0x0024, 0x0040, 0x2190, 0x00BD, 0x2192, 0x2191, 0x0023, 0x2014, 0x00BC, 0x2016, 0x00BE, 0x00F7},
    // Estonian: # õ Š Ä Ö Ž Ü Õ š ä ö ž ü
    {0x0023, 0x00F5, 0x0160, 0x00C4, 0x00D6, 0x017D, 0x00DC, 0x00D5, 0x0161, 0x00E4, 0x00F6, 0x017E, 0x00FC},
    // French: é ï à ë ê ù î # è â ô û ç
    {0x00E9, 0x00EF, 0x00E0, 0x00EB, 0x00EA, 0x00F9, 0x00EE, 0x0023, 0x00E8, 0x00E2, 0x00F4, 0x00FB, 0x00E7},
    // German: # $ § Ä Ö Ü ^ _ ° ä ö ü ß
    {0x0023, 0x0024, 0x00A7, 0x00C4, 0x00D6, 0x00DC, 0x005E, 0x005F, 0x00B0, 0x00E4, 0x00F6, 0x00FC, 0x00DF},
    // Italian: £ $ é ° ç → ↑ # ù à ò è ì
    {0x00A3, 0x0024, 0x00E9, 0x00B0, 0x00E7, 0x2192, 0x2191, 0x0023, 0x00F9, 0x00E0, 0x00F2, 0x00E8, 0x00EC},
    // Lettish/Lithuanian: # $ Š ė ę Ž č ū š ą ų ž į
    {0x0023, 0x0024, 0x0160, 0x0117, 0x0119, 0x017D, 0x010D, 0x016B, 0x0161, 0x0105, 0x0173, 0x017E, 0x012F},
    // Polish: # ń ą Ƶ Ś Ł ć ó ę ż ś ł ź
    {0x0023, 0x0144, 0x0105, 0x01B5, 0x015A, 0x0141, 0x0107, 0x00F3, 0x0119, 0x017C, 0x015B, 0x0142, 0x017A},
    // Portuguese/Spanish: ç $ ¡ á é í ó ú ¿ ü ñ è à
    {0x00E7, 0x0024, 0x00A1, 0x00E1, 0x00E9, 0x00ED, 0x00F3, 0x00FA, 0x00BF, 0x00FC, 0x00F1, 0x00E8, 0x00E0},
    // Romanian: # ¤ Ţ Â Ş Ă Î ı ţ â ş ă î
    {0x0023, 0x00A4, 0x0162, 0x00C2, 0x015E, 0x0102, 0x00CE, 0x0131, 0x0163, 0x00E2, 0x015F, 0x0103, 0x00EE},
    // Serbian/Croatian/Slovenian: # Ë Č Ć Ž Đ Š ë č ć ž đ š
    {0x0023, 0x00CB, 0x010C, 0x0106, 0x017D, 0x0110, 0x0160, 0x00EB, 0x010D, 0x0107, 0x017E, 0x0111, 0x0161},
    // Swedish/Finnish/Hungarian: # ¤ É Ä Ö Å Ü _ é ä ö å ü
    {0x0023, 0x00A4, 0x00C9, 0x00C4, 0x00D6, 0x00C5, 0x00DC, 0x005F, 0x00E9, 0x00E4, 0x00F6, 0x00E5, 0x00FC},
    // Turkish: ₺ ğ İ Ş Ö Ç Ü Ğ ı ş ö ç ü (the lira sign drawn "TL")
    {0x20BA, 0x011F, 0x0130, 0x015E, 0x00D6, 0x00C7, 0x00DC, 0x011E, 0x0131, 0x015F, 0x00F6, 0x00E7, 0x00FC},
};

namespace {

// The Latin subset of each 7-bit G0 designation (EN 300 706 table 32):
// group (bits 14-11 of the triplet) by national option (bits 10-8, the
// header's C12-C14). The Cyrillic, Greek, Arabic and Hebrew sets, beyond
// level 1.5's Latin, and unassigned designations: kSubsetNone.
const int N = kSubsetNone;
const int kDesignations[16][8] = {
    {kSubsetEnglish, kSubsetGerman, kSubsetSwedishFinnishHungarian, kSubsetItalian, kSubsetFrench,
     kSubsetPortugueseSpanish, kSubsetCzechSlovak, N},                                            // Western
    {kSubsetPolish, kSubsetGerman, kSubsetSwedishFinnishHungarian, kSubsetItalian, kSubsetFrench, N,
     kSubsetCzechSlovak, N},                                                                      // Eastern
    {kSubsetEnglish, kSubsetGerman, kSubsetSwedishFinnishHungarian, kSubsetItalian, kSubsetFrench,
     kSubsetPortugueseSpanish, kSubsetTurkish, N},                                                // Turkey
    {N, N, N, N, N, kSubsetSerbianCroatianSlovenian, N, kSubsetRomanian},                         // Southeast
    {N, kSubsetGerman, kSubsetEstonian, kSubsetLettishLithuanian, N, N, kSubsetCzechSlovak, N},   // Cyrillic
    {N, N, N, N, N, N, N, N},
    {N, N, N, N, N, N, kSubsetTurkish, N},                                                        // Greek
    {N, N, N, N, N, N, N, N},
    {kSubsetEnglish, N, N, N, kSubsetFrench, N, N, N},                                            // Arabic
    {N, N, N, N, N, N, N, N},
    {N, N, N, N, N, N, N, N},                                                                     // Hebrew
    {N, N, N, N, N, N, N, N},
    {N, N, N, N, N, N, N, N},
    {N, N, N, N, N, N, N, N},
    {N, N, N, N, N, N, N, N},
    {N, N, N, N, N, N, N, N},
};

// Languages whose pages' C12-C14 pick in a group other than the Western
// one, with that group.
struct LanguageGroup {
  char code[4];
  u8 group;
};
const LanguageGroup kLanguageGroups[] = {
    {"pol", 1}, {"tur", 2}, {"srp", 3}, {"scc", 3}, {"hrv", 3}, {"scr", 3}, {"slv", 3}, {"rum", 3},
    {"ron", 3}, {"est", 4}, {"lav", 4}, {"lit", 4}, {"rus", 4}, {"bul", 4}, {"ukr", 4}, {"gre", 6},
    {"ell", 6}, {"ara", 8}, {"heb", 10},
};

}  // namespace

int NationalSubset(int designation, int national) {
  designation &= 0x7F;
  int picked = (designation & 0x78) | (national & 7);
  int subset = kDesignations[picked >> 3][picked & 7];
  return subset != kSubsetNone ? subset : kDesignations[designation >> 3][designation & 7];
}

u8 LanguageRegion(const char* language) {
  if (!language || std::strlen(language) < 3) return 0;
  char code[4] = {};
  for (int i = 0; i < 3; ++i) code[i] = char(language[i] >= 'A' && language[i] <= 'Z' ? language[i] + 32 : language[i]);
  for (const LanguageGroup& g : kLanguageGroups)
    if (std::memcmp(code, g.code, 3) == 0) return u8(g.group << 3);
  return 0;
}

u32 G0Character(int subset, u8 code) {
  if (code == 0x7F) return 0x25A0;  // the set's solid block
  if (subset >= 0 && subset < kSubsetCount)
    for (u32 i = 0; i < kNationalPositions; ++i)
      if (kNationalCodes[i] == code) return kNationalCharacters[subset][i];
  return code;
}
