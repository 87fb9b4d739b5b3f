// IFile::GetContentAsJSON: a file's content parsed as JSON, here because the JSON library sits above files.
#include "files/IFile.h"

#include "json/VJSONImporter.h"

namespace vkit {

VError IFile::GetContentAsJSON(VJSONValue& outValue, CharSet inCharSet) const {
    return VJSONImporter::ParseFileContent(*this, outValue, inCharSet);
}

} // namespace vkit
