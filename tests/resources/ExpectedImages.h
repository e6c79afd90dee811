// The editor's images as the editor loads them: id, whole size, frame count.
#pragma once

struct ExpectedImage {
  int id;
  int width;
  int height;
  int frames;
};

constexpr ExpectedImage kExpectedImages[] = {
    {1, 683, 174, 1},   // background
    {2, 40, 2600, 65},  // knob
    {3, 20, 114, 2},    // sync switch
    {4, 62, 40, 2},     // tool button
    {5, 48, 300, 5},    // range selector
};
