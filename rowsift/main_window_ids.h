// Names of the main window and its controls, shared by the window and by the
// tests that drive it from another process.
#pragma once

namespace rowsift {

constexpr char kMainWindowClass[] = "RowsiftMainWindow";
constexpr char kMainWindowCaption[] = "Rowsift";

// Control identifiers (GetDlgItem on the main window).
enum ControlId : int {
  kIdInputLabel = 1001,      // "Input File:"
  kIdOutputLabel = 1002,     // "Output File:"
  kIdFilterLabel = 1003,     // "Filter on:"
  kIdParse = 1004,           // cmdParse, "Parse"
  kIdInputFile = 1005,       // txtInputFile
  kIdOutputFile = 1006,      // txtOutputFile
  kIdFilterOn = 1007,        // txtFilterOn
  kIdBrowse = 1008,          // cmdBrowse, "..."
  kIdOpenOutputFile = 1009,  // chkOpenOutputFile, "Open Output File When Done"
  kIdDebugList = 1010,       // lstDebug
};

}  // namespace rowsift
