// The value texts of the product's parameters. Each fills a text field of
// kParamTextSize bytes from the parameter's plain value.
#pragma once

void RangeText(double value, char* text);
void PercentText(double value, char* text);
void HzText(double value, char* text);
void LfoDivisionText(double value, char* text);
void MixText(double value, char* text);
void SwitchText(double value, char* text);

// Row of the LFO division table that the text shows for an "LFOSpeed" value.
int LfoDivisionTextRow(double value);

// Texts in the displays' own forms, as a host shows them and a user types
// them back; false for anything else (a bare number, which means the plain
// value). Case and surrounding blanks do not matter.
// "250-2000" and the other range texts: the range's index.
bool RangeParse(const char* text, double* value);
// "40%", "-12.5 %": percent of the display's scale (0.4, -0.125).
bool PercentParse(const char* text, double* value);
// "Dry", "Wet" and "dry:wet" such as "50:50" or "30:70": the wet share.
bool MixParse(const char* text, double* value);
