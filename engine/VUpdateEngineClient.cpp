// VUpdateEngine's client customization: the server link file written into the up-to-date bundle of a
// client application, and its executable made runnable.
#include "UpdaterErrors.h"
#include "VUpdateEngine.h"

#include "bags/StPackedDictionaryKey.h"
#include "bags/VValueBag.h"
#include "errors/StErrorContextInstaller.h"
#include "files/VBagFileWriter.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "runtime/VBundle.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"

using vkit::StErrorContextInstaller;
using vkit::VFilePath;
using vkit::VJSONObject;
using vkit::VJSONValue;
using vkit::VString;

const char* const BABuildServerPlatform = "ServerPlatform";
const char* const BABuildInfoIPAdress = "BuildIPAdress";
const char* const BABuildInfoIPPort = "BuildIPPort";
const char* const BABuildInfoPublishName = "PublishName";
const char* const BABuildCacheFolderNameClient = "BuildCacheFolderNameClient";

namespace {

/// Attributes of the link file's bag, in the order they are set.
const vkit::StPackedDictionaryKey kIsRemoteKey("is_remote");
const vkit::StPackedDictionaryKey kServerDatabaseNameKey("server_database_name");
const vkit::StPackedDictionaryKey kServerPathKey("server_path");
const vkit::StPackedDictionaryKey kCacheFolderNameKey("cache_folder_name");
const vkit::StPackedDictionaryKey kRemoteSharedResourcesKey("remote_shared_resources");

constexpr uint16_t kExecuteBits = 0111;

/// The property's text when it is a JSON string; false (outText untouched) otherwise.
bool GetStringProperty(const VJSONObject& inObject, const char* inKey, VString& outText) {
    VJSONValue value = inObject.GetProperty(VString(inKey));
    if (!value.IsString())
        return false;
    value.GetString(outText);
    return true;
}

} // namespace

bool VUpdateEngine::_FinishClientCustomization(const VFilePath& inBundlePath) {
    StErrorContextInstaller context(true, true);
    vkit::VFile file(fClientInfoPath);
    VJSONValue info;
    // A file that cannot be read or parsed leaves its error; a text cut short may still have given an
    // object, which is not used.
    bool loaded = info.LoadFromFile(file) == vkit::VE_OK;
    VString platform;
    if (!loaded || !info.IsObject() ||
        !GetStringProperty(*info.GetObject(), BABuildServerPlatform, platform)) {
        zq::PushUpdaterError(zq::VE_UPZQ_CLIENT_INFO_INVALID);
    } else {
        _SetIPAdressOnClientPref(*info.GetObject(), inBundlePath);
        _FinishMacClientCustomization(*info.GetObject(), inBundlePath);
    }
    return !zq::HoldsError(context);
}

bool VUpdateEngine::_SetIPAdressOnClientPref(const VJSONObject& inClientInfo, const VFilePath& inBundlePath) {
    VString serverPath;
    if (!GetStringProperty(inClientInfo, BABuildInfoIPAdress, serverPath))
        return true;
    VString port;
    if (GetStringProperty(inClientInfo, BABuildInfoIPPort, port))
        serverPath.AppendPrintf(":%S", &port);
    VString databaseName;
    GetStringProperty(inClientInfo, BABuildInfoPublishName, databaseName);
    VString cacheFolderName;
    GetStringProperty(inClientInfo, BABuildCacheFolderNameClient, cacheFolderName);

    VFilePath databasePath(inBundlePath);
    databasePath.ToSubFolder(VString("Contents")).ToSubFolder(VString("Database"));
    vkit::VFolder databaseFolder(databasePath);
    if (!databaseFolder.Exists())
        (void)databaseFolder.CreateRecursive(); // a failure stays on the context; the write below fails too

    vkit::VValueBag bag;
    bag.SetBool(kIsRemoteKey, true);
    bag.SetString(kServerDatabaseNameKey, databaseName);
    bag.SetString(kServerPathKey, serverPath);
    bag.SetString(kCacheFolderNameKey, cacheFolderName);
    bag.SetBool(kRemoteSharedResourcesKey, false);
    vkit::VFile linkFile(databaseFolder, VString("EnginedServer.ZQlink"), vkit::FilePathStyle::Posix);
    (void)vkit::WriteBagToFileInXML(bag, VString("database_shortcut"), &linkFile, false); // pushed
    return true;
}

bool VUpdateEngine::_FinishMacClientCustomization(const VJSONObject& /*inClientInfo*/,
                                                  const VFilePath& inBundlePath) {
    StErrorContextInstaller context(true, true);
    VFilePath executablePath;
    {
        // A bundle without a readable Info.plist or an executable ends the step silently.
        StErrorContextInstaller silence(false, true);
        vkit::VBundle bundle;
        if (bundle.Open(inBundlePath))
            executablePath = bundle.GetExecutablePath();
    }
    vkit::VFile executable(executablePath);
    if (executablePath.IsValid() && executable.Exists()) {
        uint16_t mode = 0;
        if (executable.MAC_GetPermissions(&mode) == vkit::VE_OK && (mode & kExecuteBits) != kExecuteBits)
            (void)executable.MAC_SetPermissions(mode | kExecuteBits); // its failure is pushed
    }
    return !zq::HoldsError(context);
}
