// WriteBagToFileInXML: the bag's XML document written in UTF-8 as a file's whole content.
#include "files/VBagFileWriter.h"

#include "bags/BagXMLText.h"
#include "files/VFile.h"

#include <string>

namespace vkit {

VError WriteBagToFileInXML(const VValueBag& inBag, const VString& inRootElementName, VFile* inFile,
                           bool inIndented) {
    if (inFile == nullptr)
        return VE_OK;
    VString text;
    GetBagXMLText(inBag, inRootElementName, inIndented, text);
    std::string utf8 = text.ToUTF8();
    return inFile->SetContent(utf8.data(), utf8.size());
}

} // namespace vkit
