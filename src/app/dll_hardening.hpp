#pragma once

namespace cv {

// The first thing the process does: narrows the DLL search to System32 where
// Windows can, and loads by full path every system DLL that something may
// later ask for by bare name, so no DLL from the shell's own folder (a
// Downloads folder) is ever loaded, on any Windows version.
void hardenDllLoading();

}  // namespace cv
