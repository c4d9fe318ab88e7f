// The texts `melvir help` and `melvir COMMAND --help` print: each command's
// usage lines and help, and the program's own around its list of commands.
#ifndef MELVIR_CLI_HELP_TEXTS_H
#define MELVIR_CLI_HELP_TEXTS_H

extern const char kListUsage[], kInfoUsage[], kExtractUsage[], kCheckUsage[], kDomainUsage[],
    kMountUsage[], kProbeUsage[], kCatalogUsage[], kLibraryUsage[], kHelpUsage[];
extern const char kListHelp[], kInfoHelp[], kExtractHelp[], kCheckHelp[], kDomainHelp[],
    kMountHelp[], kProbeHelp[], kCatalogHelp[], kLibraryHelp[];
extern const char kMainHelpHead[], kMainHelpTail[];
// mount's line in the list of commands.
extern const char kMountSummary[];

#endif
