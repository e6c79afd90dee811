// Text a host's user typed for a parameter, read the way both bindings read it.
#pragma once

class IParameter;

// Equal but for case and blanks around the typed text.
bool SameText(const char* typed, const char* shown);

// The plain value in the parameter's own terms: one of its display texts, else
// what its parse function reads. False where neither takes the text; what a
// binding does then (a bare number, a refusal) is its own choice.
bool ReadTypedValue(const IParameter& param, const char* text, double* plain);
