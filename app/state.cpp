#include "app/state.h"

#include "platform/platform.h"

AppState g_app;

bool AllocateBuffers() {
  // All three are attempted before the result is looked at.
  g_app.readBuffer = static_cast<u8*>(AllocPages(kReadBufferSize));
  g_app.bufferA = static_cast<u8*>(AllocPages(kOutputBufferSize));
  g_app.bufferB = static_cast<u8*>(AllocPages(kOutputBufferSize));
  return g_app.readBuffer && g_app.bufferA && g_app.bufferB;
}
