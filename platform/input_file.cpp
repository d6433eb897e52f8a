#include "platform/input_file.h"

#include "platform/file_system.h"

namespace {

// The file's handle is the source's context.
SystemFile fileOf(void* context) { return reinterpret_cast<SystemFile>(context); }

int64_t readFile(void* context, unsigned char* data, size_t size, int* error) {
  return systemRead(fileOf(context), data, size, error);
}
int rewindFile(void* context) { return systemSeekStart(fileOf(context)); }
void closeFile(void* context) { systemClose(fileOf(context)); }

constexpr TextSource kFileSource{readFile, rewindFile, closeFile};

}  // namespace

IoResult inputFileOpen(TextInput* in, const char* path) {
  *in = TextInput{};
  SystemFile file;
  int error = systemOpenRead(path, &file);
  if (error != 0) return error == kSystemOutOfMemory ? kIoOutOfMemory : ioFailed(error);
  // The file is fine; the caller must not report it as unreadable.
  if (!textInputOpenSource(in, &kFileSource, reinterpret_cast<void*>(file))) return kIoOutOfMemory;
  return kIoDone;
}
