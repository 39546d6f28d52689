// The steps every converter takes around its own format's work: the skip test,
// reading the source, making the folder and saving each frame under its name.
#pragma once

#include <string>

#include "imaging/ConvertResult.h"

namespace framelot {

ConvertResult ConvertFileWith(const std::string& source, bool makeFolder, ConvertBytesFunction convert);

}  // namespace framelot
