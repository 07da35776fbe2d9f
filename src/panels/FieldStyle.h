#pragma once

// Background colours by which the panels show the state of a field.
namespace FieldStyle {
// Read-only value fields: position and value read-outs, selected directories.
inline constexpr char readOnly[] = "background-color: rgb(255, 255, 232);";
// Editable path, name and tag fields of the file selectors.
inline constexpr char selectorField[] = "background-color: rgb(255, 255, 233);";
// Colour-bar range fields.
inline constexpr char rangeField[] = "background-color: rgb(255, 255, 255);";
// A selector whose file was loaded.
inline constexpr char good[] = "background-color: rgb(211, 255, 241);";
// A selector whose file could not be loaded.
inline constexpr char bad[] = "background-color: rgb(255, 192, 192);";
// Run-state buttons.
inline constexpr char idle[] = "background-color: rgb(240, 240, 240);";
inline constexpr char busy[] = "background-color: rgb(255, 255, 128);";
}
