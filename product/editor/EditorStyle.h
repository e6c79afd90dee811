// The two text styles of the product's read-outs and captions.
#pragma once

#include "graphics/IGraphicsTypes.h"

inline IText LabelText() { return IText("Arial", 13, IColor(255, 255, 255, 192), IText::kStyleNormal, IText::kAlignCenter, 0, IText::kQualityClearType); }
inline IText WarningText() { return IText("Arial", 13, IColor(255, 255, 64, 0), IText::kStyleNormal, IText::kAlignCenter, 0, IText::kQualityClearType); }
