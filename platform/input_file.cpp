#include "platform/input_file.h"

#include "platform/file_system.h"

IoResult inputFileOpen(TextInput* in, const char* path) {
  *in = TextInput{};
  int error = 0;
  FILE* file = systemOpenForReading(path, &error);
  if (!file) return error == ENOMEM ? kIoOutOfMemory : ioFailed(error);
  return textInputOpenStream(in, file);
}
