// VFileSystemNamespace::LoadFromDefinitionFile: named roots registered from a JSON definition file.
#include "files/VFileSystemNamespace.h"

#include "bags/VValueBag.h"
#include "errors/VErrorBase.h"
#include "errors/VErrorThrow.h"
#include "files/IFolder.h"
#include "files/VFile.h"
#include "files/VFileSystem.h"
#include "files/VFolder.h"
#include "runtime/StLocker.h"
#include "json/VJSONArray.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"

namespace vkit {

namespace {

/// The text of a string property; empty when it is missing or of another type.
VString StringProperty(const VJSONObject& inObject, std::u16string_view inName) {
    VString text;
    if (const VJSONValue* value = inObject.FindProperty(inName); value != nullptr && value->IsString())
        value->GetString(text);
    return text;
}

/// The folder an element names: "path" inside the root of "parent", or a full POSIX path; null when
/// the element has no path or its parent is not registered.
VRefPtr<IFolder> RetainDefinedFolder(const VFileSystemNamespace& inNamespace, const VJSONObject& inEntry) {
    VString path = StringProperty(inEntry, u"path");
    if (path.IsEmpty())
        return {};
    if (UniChar last = path[path.GetLength() - 1]; last != u'/' && last != u'\\')
        path.AppendUniChar(u'/');
    VString parent = StringProperty(inEntry, u"parent");
    if (parent.IsEmpty()) {
        VFilePath full(path, FilePathStyle::Posix);
        return full.IsFolder() ? AdoptRef<IFolder>(new VFolder(full)) : VRefPtr<IFolder>();
    }
    VRefPtr<IFolder> root = AdoptRef(inNamespace.RetainFileSystemRootFolder(parent, kLookupInParents));
    if (!root)
        return {};
    VFilePath relative(root->GetPath(), path, FilePathStyle::Posix, true);
    return relative.IsFolder() ? AdoptRef<IFolder>(new VFolder(relative)) : VRefPtr<IFolder>();
}

[[nodiscard]] VError PushInvalidDefinitionFile(const VFile& inFile) {
    VErrorBase* error = new VErrorBase(VE_FS_INVALID_DEFINITION_FILE);
    // The POSIX path, as the parse errors beneath name the file.
    VString path;
    inFile.GetPath().GetPosixPath(path);
    error->GetBag().SetString("path", path);
    error->GetBag().SetString(ErrorBagKeys::error_description,
                              VString("Cannot read the file-system definitions of \"{path}\""));
    _PushRetainedError(error);
    return VE_FS_INVALID_DEFINITION_FILE;
}

} // namespace

VError VFileSystemNamespace::LoadFromDefinitionFile(VFile* inFile) {
    if (inFile == nullptr) {
        VString what("no file-system definition file");
        return vThrowError(VE_UNKNOWN_ERROR, &what);
    }
    VJSONValue definitions;
    if (VJSONImporter::ParseFile(inFile, definitions) != VE_OK)
        return PushInvalidDefinitionFile(*inFile);
    const VJSONArray* entries = definitions.GetArray();
    if (entries == nullptr)
        return VE_OK;
    for (size_t i = 0; i < entries->GetCount(); ++i) {
        const VJSONObject* entry = (*entries)[i].GetObject();
        if (entry == nullptr)
            continue;
        StLocker lock(fLock);
        VRefPtr<IFolder> folder = RetainDefinedFolder(*this, *entry);
        if (!folder)
            continue;
        const VJSONValue* writable = entry->FindProperty(u"writable");
        uint32_t options = writable != nullptr && writable->IsBool() && writable->GetBool()
                               ? VFileSystem::kOptionWritable
                               : 0;
        // An invalid name pushes its own error; the other definitions are still read.
        (void)RegisterFileSystem(StringProperty(*entry, u"name"), folder.Get(), options);
    }
    return VE_OK;
}

} // namespace vkit
