// The editor's images as the editor loads them: id, whole size, frame count.
// Ids 1-5 are drawn for 100 %; the same images drawn for 150 % and 200 % are
// 10 and 20 ids further on.
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

    {11, 1025, 261, 1},
    {12, 60, 3900, 65},
    {13, 30, 172, 2},
    {14, 93, 60, 2},
    {15, 72, 450, 5},

    {21, 1366, 348, 1},
    {22, 80, 5200, 65},
    {23, 40, 228, 2},
    {24, 124, 80, 2},
    {25, 96, 600, 5},
};
