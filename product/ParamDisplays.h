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
