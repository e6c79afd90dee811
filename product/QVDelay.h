// The product: Quorvel Brigade Delay.
#pragma once

#include "product/Effect.h"

class QVDelay : public Effect {
 public:
  explicit QVDelay(audioMasterCallback hostCallback);
  ~QVDelay() override;

  void DefineParameters() override;
};
