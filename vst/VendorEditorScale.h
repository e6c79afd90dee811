// Not of the VST 2.4 interface but ours: the effVendorSpecific index by which
// our own host gives the editor a scale factor in opt (100 % is 1), as a
// VST 3 host's content scale would. The call returns 1 when the editor then
// has the size asked for.
#pragma once

#include "vst/VstAbi.h"

constexpr VstInt32 kVendorEditorScale = VstFourCC('Q', 'V', 's', 'c');
