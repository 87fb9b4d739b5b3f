// WriteBagToFileInXML: storing a value bag as an XML document in a file.
#pragma once

#include "errors/VErrorCodes.h"

namespace vkit {

class VFile;
class VString;
class VValueBag;

/// Stores the bag as the whole content of inFile in UTF-8: "<?xml version="1.0" encoding="UTF-8"?>"
/// immediately followed (no line feed) by the bag's element named inRootElementName, one tab per level
/// when inIndented. A null file answers 0 and writes nothing. Answers the file's error (pushed by
/// VFile::SetContent).
[[nodiscard]] VError WriteBagToFileInXML(const VValueBag& inBag, const VString& inRootElementName,
                                         VFile* inFile, bool inIndented);

} // namespace vkit
