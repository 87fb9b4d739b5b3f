// Tests of the localization store: languages, conditions, groups, error texts, strings files, bad
// XLIFF files, folders and updates.
#include "LocalizationTestSupport.h"

#include "bags/VBagArray.h"
#include "bags/VValueBag.h"
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorContext.h"
#include "files/VFile.h"
#include "files/VFileErrorCodes.h"
#include "files/VFolder.h"
#include "localization/VLocalizationManager.h"
#include "runtime/VProcess.h"

#include <filesystem>

using namespace vkit;
using namespace vkit::testing;

namespace {

[[maybe_unused]] ::testing::Environment* const sEnvironment =
    ::testing::AddGlobalTestEnvironment(new LocalizationTestEnvironment);

constexpr DialectCode kFrenchFrance = 1036;

VRefPtr<VLocalizationManager> MakeManager(DialectCode inLanguage = kFrenchFrance) {
    return AdoptRef(new VLocalizationManager(inLanguage));
}

void Load(VLocalizationManager& ioManager, const std::string& inText, bool inAvoid = false) {
    (void)ioManager.LoadXLIFFData(inText.data(), inText.size(), VString("memory"),
                                  inAvoid); // errors are pushed
}

/// The text of a key, or "<none>".
std::string Text(VLocalizationManager& inManager, const char* inKey) {
    VString text;
    return inManager.LocalizeStringWithKey(VString(inKey), text) ? text.ToUTF8() : "<none>";
}

struct LoadStep {
    const char* language;
    std::string body;
    bool avoid;
};

struct LanguageCase {
    const char* label;
    std::vector<LoadStep> steps;
    const char* expected; // text of the key "k"
};

const LanguageCase kLanguageCases[] = {
    {"exact dialect", {{"fr-FR", Unit("k", "A"), false}}, "A"},
    {"other dialect accepted", {{"fr-CA", Unit("k", "B"), false}}, "B"},
    {"other dialect does not replace",
     {{"fr-FR", Unit("k", "A"), false}, {"fr-CA", Unit("k", "B"), false}},
     "A"},
    {"exact dialect replaces", {{"fr-CA", Unit("k", "B"), false}, {"fr-FR", Unit("k", "A"), false}}, "A"},
    {"language alone accepted", {{"fr", Unit("k", "D"), false}}, "D"},
    {"other language ignored", {{"de-DE", Unit("k", "C"), false}}, "<none>"},
    {"other language kept when not checked", {{"de-DE", Unit("k", "C"), true}}, "C"},
    {"same resname, exact dialect: last wins", {{"fr-FR", Unit("k", "1") + Unit("k", "2"), false}}, "2"},
    {"same resname, other dialect: first wins", {{"fr-CA", Unit("k", "1") + Unit("k", "2"), false}}, "1"},
    {"includeIf naming this platform", {{"fr", Unit("k", "E", "qz:includeIf=\"win Linux\""), false}}, "E"},
    {"includeIf not naming it", {{"fr", Unit("k", "E", "qz:includeIf=\"win mac\""), false}}, "<none>"},
    {"excludeIf naming another", {{"fr", Unit("k", "E", "qz:excludeIf=\"win\""), false}}, "E"},
    {"excludeIf naming it", {{"fr", Unit("k", "E", "qz:excludeIf=\"mac  linux\""), false}}, "<none>"},
    {"excludeIf naming no platform", {{"fr", Unit("k", "E", "qz:excludeIf=\"unix\""), false}}, "E"},
    {"empty target records nothing",
     {{"fr", "<trans-unit resname=\"k\"><source>S</source><target/></trans-unit>", false}},
     "<none>"},
    {"no target takes the source",
     {{"fr", "<trans-unit resname=\"k\"><source>S</source></trans-unit>", false}},
     "S"},
};

} // namespace

TEST(VLocalizationManagerTest, LanguagesConditionsAndTargets) {
    for (const LanguageCase& row : kLanguageCases) {
        SCOPED_TRACE(row.label);
        VRefPtr<VLocalizationManager> manager = MakeManager();
        for (const LoadStep& step : row.steps)
            Load(*manager, Xliff(step.language, step.body), step.avoid);
        EXPECT_EQ(Text(*manager, "k"), row.expected);
    }
}

TEST(VLocalizationManagerTest, GroupsGiveListsKeysAndBags) {
    VRefPtr<VLocalizationManager> manager = MakeManager();
    Load(*manager, Xliff("fr-FR", R"(
<group id="128" resname="Errors">
  <trans-unit id="1" resname="e1"><source>one</source><target>un</target></trans-unit>
  <trans-unit id="2"><source>two</source><target>deux</target></trans-unit>
</group>
<group resname="[Menu]">
  <group resname="File">
    <trans-unit id="3" resname="Open"><source>Open</source><target>Ouvrir</target></trans-unit>
  </group>
</group>
<group resname="Dialog" restype="x-dialog">
  <trans-unit id="7" resname="ok"><source>OK</source><target>D'accord</target>
    <alt-trans><target>Valider</target></alt-trans>
  </trans-unit>
  <trans-unit id="8" resname="cancel"><source>Cancel</source><target/></trans-unit>
</group>)"));
    std::vector<VString> texts;
    EXPECT_TRUE(manager->LocalizeGroupOfStringsWithAStrSharpID(128, texts));
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1].ToUTF8(), "deux");
    EXPECT_TRUE(manager->GetOrderedStringsOfGroup(VString("Errors"), texts));
    EXPECT_EQ(texts.size(), 2u);
    EXPECT_EQ(Text(*manager, "e1"), "un");
    EXPECT_EQ(Text(*manager, "[Menu]#}[{@File#}[{@Open"), "Ouvrir");
    EXPECT_EQ(Text(*manager, "Open"), "<none>");

    VRefPtr<VValueBag> dialog = AdoptRef(manager->RetainGroupBag(VString("DIALOG")));
    ASSERT_TRUE(dialog) << "names compare ignoring case";
    const VBagArray* units = dialog->GetElements(StPackedDictionaryKey("trans-unit"));
    ASSERT_NE(units, nullptr);
    ASSERT_EQ(units->GetCount(), 2);
    VString text;
    units->GetNth(1)->GetString(StPackedDictionaryKey("target"), text);
    EXPECT_EQ(text.ToUTF8(), "D'accord");
    units->GetNth(1)
        ->GetUniqueElement(StPackedDictionaryKey("alt-trans"))
        ->GetString(StPackedDictionaryKey("target"), text);
    EXPECT_EQ(text.ToUTF8(), "Valider");
    EXPECT_TRUE(units->GetNth(2)->GetString(StPackedDictionaryKey("target"), text) && text.IsEmpty())
        << "an empty target is kept in the bag";
    std::vector<VValueBag*> dialogs;
    manager->RetainGroupBagsByRestype(VString("x-dialog"), dialogs);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], dialog.Get());
    dialogs[0]->Release();
    manager->ClearLocalizations();
    EXPECT_EQ(Text(*manager, "e1"), "<none>");
    EXPECT_EQ(manager->RetainGroupBag(VString("Dialog")), nullptr);
}

TEST(VLocalizationManagerTest, ErrorTextsAndLocalizedSentences) {
    VRefPtr<VLocalizationManager> manager = MakeManager();
    Load(*manager, Xliff("fr-FR", Unit("ERR_vkit_4", "Echec de {p1}") + Unit("ERR_UPZQ_-12345", "tronque") +
                                      Unit("MoreInformationsAvailableInLogFile",
                                           "Plus d'informations dans le journal '{LogFilePath}'")));
    VString text;
    EXPECT_TRUE(manager->LocalizeErrorMessage(MakeVError(kComponentVkit, 4), text));
    EXPECT_TRUE(manager->LocalizeErrorMessage(MakeVError(MakeOsType("UPZQ"), -1234567890), text));
    EXPECT_EQ(text.ToUTF8(), "tronque") << "keys are cut to 15 characters";
    EXPECT_FALSE(manager->LocalizeErrorMessage(MakeVError(kComponentVkit, 5), text));

    VErrorBase::RegisterLocalizer(kComponentVkit, manager.Get());
    VRefPtr<VErrorBase> error = AdoptRef(new VErrorBase(MakeVError(kComponentVkit, 4)));
    error->GetBag().SetString(ErrorBagKeys::p1, VString("l'init"));
    error->GetErrorDescription(text);
    VErrorBase::UnregisterLocalizer(kComponentVkit);
    EXPECT_EQ(text.ToUTF8(), "Echec de l'init");

    const char* kDefault = "More information is available in the log file '{LogFilePath}'";
    VRefPtr<VValueBag> bag = AdoptRef(new VValueBag);
    bag->SetString(StPackedDictionaryKey("LogFilePath"), VString("/tmp/a.txt"));
    EXPECT_EQ(LocalizeString(VString("MoreInformationsAvailableInLogFile"), kDefault)
                  .Format(bag.Get(), true)
                  .ToUTF8(),
              "More information is available in the log file '/tmp/a.txt'");
    VProcess process;
    VProcess::sInstance = &process;
    process.SetLocalizer(manager.Get());
    EXPECT_EQ(LocalizeString(VString("MoreInformationsAvailableInLogFile"), kDefault)
                  .Format(bag.Get(), true)
                  .ToUTF8(),
              "Plus d'informations dans le journal '/tmp/a.txt'");
    EXPECT_EQ(LocalizeString(VString("missing"), nullptr).ToUTF8(), "");
    VProcess::sInstance = nullptr;
}

TEST(VLocalizationManagerTest, StringsFilesFillTheKeyTable) {
    const char16_t kText[] =
        u"\"k1\" = \"v\xE9\";\r\n\"k2\"=\"a\" = \"b\";\nk3 = \"three\";\n\"k4\" = \"\";\n\"k5\" = \"end\";";
    std::u16string text(kText);
    auto bytes = [&](bool inBOM, bool inBigEndian) {
        std::string out = inBOM ? (inBigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
        for (char16_t c : text) {
            char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
            out += inBigEndian ? std::string{high, low} : std::string{low, high};
        }
        return out;
    };
    std::string utf8 = VString(kText).ToUTF8();
    const std::pair<const char*, std::string> cases[] = {
        {"UTF-16 with a byte-order mark", bytes(true, false)},
        {"UTF-16 little-endian without mark", bytes(false, false)},
        {"UTF-16 big-endian without mark", bytes(false, true)},
        {"UTF-8", utf8},
    };
    for (const auto& [label, content] : cases) {
        SCOPED_TRACE(label);
        VTestTempFolder folder;
        VFile file(FilePath(folder.WriteFile("Localizable.strings", content)));
        VRefPtr<VLocalizationManager> manager = MakeManager();
        Load(*manager, Xliff("fr", Unit("k1", "old")));
        EXPECT_EQ(manager->LoadFile(&file, false), VE_LOCALIZATION_UNSUPPORTED_FILE);
        EXPECT_EQ(Text(*manager, "k1"), "v\xC3\xA9") << "strings files replace";
        EXPECT_EQ(Text(*manager, "k2"), "<none>");
        EXPECT_EQ(Text(*manager, "k3"), "three");
        EXPECT_EQ(Text(*manager, "k4"), "<none>");
        EXPECT_EQ(Text(*manager, "k5"), "end") << "the last line needs no line feed";
    }
}

TEST(VLocalizationManagerTest, BrokenFilesAreReportedWithTheirPositionAndKeepWhatCameBefore) {
    struct Case {
        const char* label;
        std::string text;
        const char* b; // the text of "b", read or not before the fault
        int64_t line;
        int64_t column; // 0: where the parser stopped
    };
    std::string before = Xliff("fr", Unit("a", "A") + "@");
    before.erase(before.find('@'));
    std::string nested;
    for (int i = 0; i < 10000; ++i)
        nested += "<group>";
    const Case cases[] = {
        {"truncated", before + "<trans-unit resname=\"b\"><source>B</sou", "<none>", 5, 0},
        {"not UTF-8", before + Unit("b", "caf\xC3\xA9 \xFF"), "<none>", 5, 61},
        {"nested without end", before + nested + Unit("b", "B"), "B", 6, 0},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.label);
        VTestTempFolder folder;
        std::string path = folder.WriteFile("broken.xlf", row.text);
        VFile file(FilePath(path));
        VRefPtr<VLocalizationManager> manager = MakeManager();
        StErrorContextInstaller errors;
        EXPECT_EQ(manager->LoadFile(&file, false), VE_OK);
        ASSERT_EQ(errors.GetContext()->GetErrors().size(), 1u);
        const VErrorBase* error = errors.GetContext()->GetLast();
        EXPECT_EQ(error->GetError(), VE_XML_PARSING_FAILED);
        int64_t line = 0;
        int64_t column = 0;
        error->GetBag().GetLong8(StPackedDictionaryKey("line"), line);
        error->GetBag().GetLong8(StPackedDictionaryKey("column"), column);
        EXPECT_EQ(line, row.line);
        EXPECT_EQ(column, row.column != 0 ? row.column : column);
        EXPECT_GE(column, 1);
        VString text;
        error->GetErrorDescription(text);
        EXPECT_EQ(text.ToUTF8().rfind("XML error in '" + path + "' at line ", 0), 0u) << text.ToUTF8();
        EXPECT_EQ(Text(*manager, "a"), "A");
        EXPECT_EQ(Text(*manager, "b"), row.b);
        errors.GetContext()->Flush();
    }
}

TEST(VLocalizationManagerTest, BundleFoldersOfTheLanguageAreLoadedAndUpdated) {
    VTestTempFolder bundle;
    std::string resources = bundle.MakeFolder("Contents/Resources");
    bundle.WriteFile("Contents/Resources/all.xlf", Xliff("de", Unit("all", "any language")));
    bundle.WriteFile("Contents/Resources/notes.txt", "not loaded");
    bundle.WriteFile("Contents/Resources/fr.lproj/fr.xlf", Xliff("fr-FR", Unit("fr", "fr.lproj")));
    bundle.WriteFile("Contents/Resources/French.lproj/b.xlf", Xliff("fr-FR", Unit("name", "French.lproj")));
    bundle.WriteFile("Contents/Resources/de.lproj/de.xlf", Xliff("fr-FR", Unit("de", "de.lproj")));
    VRefPtr<VLocalizationManager> manager = MakeManager();
    VFolder bundleFolder(FolderPath(bundle.Path()));
    ASSERT_TRUE(manager->LoadDefaultLocalizationFoldersForComponentOrPlugin(&bundleFolder));
    EXPECT_EQ(Text(*manager, "all"), "any language");
    EXPECT_EQ(Text(*manager, "fr"), "fr.lproj");
    EXPECT_EQ(Text(*manager, "name"), "French.lproj");
    EXPECT_EQ(Text(*manager, "de"), "<none>");
    EXPECT_FALSE(manager->DoesNeedAnUpdate());
    EXPECT_FALSE(manager->UpdateIfNeeded());

    bundle.WriteFile("Contents/Resources/fr.lproj/new.xlf", Xliff("fr-FR", Unit("new", "added")));
    EXPECT_TRUE(manager->DoesNeedAnUpdate());
    EXPECT_TRUE(manager->UpdateIfNeeded());
    EXPECT_EQ(Text(*manager, "new"), "added");
    EXPECT_FALSE(manager->DoesNeedAnUpdate());
    std::filesystem::last_write_time(resources + "/fr.lproj/fr.xlf",
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    EXPECT_TRUE(manager->DoesNeedAnUpdate());

    VFolder missing(FolderPath(bundle / "missing"));
    VFile text(FilePath(resources + "/notes.txt"));
    EXPECT_EQ(manager->ScanAndLoadFolder(nullptr, false), VE_INVALID_PARAMETER);
    EXPECT_EQ(manager->ScanAndLoadFolder(&missing, false), VE_FILE_NOT_FOUND);
    EXPECT_EQ(manager->LoadFile(&text, false), VE_LOCALIZATION_UNSUPPORTED_FILE);
    EXPECT_FALSE(manager->LoadDefaultLocalizationFoldersForComponentOrPlugin(&missing));
}

TEST(VLocalizationManagerTest, ExternalEntitiesAreNeverRead) {
    VTestTempFolder folder;
    std::string text = Xliff("fr", Unit("k", "[&outside;]"));
    text.insert(text.find("<xliff"), "<!DOCTYPE xliff [<!ENTITY outside SYSTEM \"file://" +
                                         folder.WriteFile("secret.txt", "secret") + "\">]>\n");
    VRefPtr<VLocalizationManager> manager = MakeManager();
    StErrorContextInstaller errors;
    Load(*manager, text);
    EXPECT_EQ(Text(*manager, "k").find("secret"), std::string::npos) << Text(*manager, "k");
    errors.GetContext()->Flush();
}

TEST(VLocalizationManagerTest, ParsedOnFirstUseAnswersAsParsedAtOnceAndReportsNothing) {
    // The order counts: a strings file replaces what an exact dialect gave before it, and a dialect that
    // only adds comes after it; the last "target-language" carries to the next file, a broken one.
    VTestTempFolder folder;
    const std::pair<const char*, std::string> files[] = {
        {"1.xlf", Xliff("fr-FR", Unit("s", "fr"))},
        {"2.strings", "\"s\" = \"strings\";\n\"t\" = \"strings\";\n"},
        {"3.xlf", Xliff("fr-CA", Unit("t", "ca") + Unit("k", "ca"))},
        {"4.xlf", "<xliff><file><body>" + Unit("k", "broken") + "<trans-unit"},
    };
    auto loaded = [&](bool inOnFirstUse, size_t& outErrors) {
        VRefPtr<VLocalizationManager> manager = MakeManager();
        if (inOnFirstUse)
            manager->ParseOnFirstUse();
        StErrorContextInstaller errors;
        for (const auto& [name, content] : files) {
            VFile file(FilePath(folder.WriteFile(name, content)));
            (void)manager->LoadFile(&file, false); // the strings file answers that it is not XLIFF
        }
        for (const auto& [name, content] : files) // what was loaded no longer depends on the files
            std::filesystem::remove(folder / name);
        std::string texts = Text(*manager, "k") + "," + Text(*manager, "s") + "," + Text(*manager, "t");
        outErrors = errors.GetContext()->GetErrors().size();
        errors.GetContext()->Flush();
        return texts;
    };
    size_t atOnce = 0;
    size_t onFirstUse = 0;
    EXPECT_EQ(loaded(true, onFirstUse), loaded(false, atOnce));
    EXPECT_EQ(loaded(false, atOnce), "ca,strings,strings");
    EXPECT_EQ(atOnce, 1u);
    EXPECT_EQ(onFirstUse, 0u);
    VRefPtr<VLocalizationManager> cleared = MakeManager();
    cleared->ParseOnFirstUse();
    Load(*cleared, Xliff("fr", Unit("k", "A")));
    cleared->ClearLocalizations();
    EXPECT_EQ(Text(*cleared, "k"), "<none>") << "texts held back are cleared too";
}
