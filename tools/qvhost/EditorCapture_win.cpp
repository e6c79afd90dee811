// The Windows half of the editor capture is still to be written (a host
// window, effEditOpen, a message pump and a copy of the window's pixels).
#include "tools/qvhost/EditorCapture.h"

bool CaptureEditor(TestHost&, int, int, std::vector<uint32_t>* pixels, std::string* error) {
  pixels->clear();
  *error = "the editor capture is not built for Windows yet";
  return false;
}
