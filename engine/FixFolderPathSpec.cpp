// FixFolderPathSpec: folder texts of the command line to folder paths.
#include "FixFolderPathSpec.h"

void FixFolderPathSpec(const vkit::VString& inText, vkit::FilePathStyle, vkit::VFilePath& outPath) {
    if (inText.IsEmpty()) {
        outPath.Clear();
        return;
    }
    vkit::VString text(inText);
    if (text[text.GetLength() - 1] != u'/')
        text.AppendUniChar(u'/');
    outPath.FromFullPath(text, vkit::FilePathStyle::Posix);
}
