// The layer between the VST binding and the product.
#pragma once

#include "vst/IPluginVST.h"

class Effect : public IPluginVST {
 public:
  explicit Effect(audioMasterCallback hostCallback);
  ~Effect() override;

  virtual void DefineParameters() {}
};
