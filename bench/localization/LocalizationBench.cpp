// The localization start-up of the updater: choosing the language and loading a bundle whose
// English and French XLIFF files hold 200 units each, beside the floor of that work, a bare Xerces-C
// SAX parse of the same French file. Run with --benchmark_enable_random_interleaving=true.
#include "errors/VErrorBase.h"
#include "files/VFolder.h"
#include "localization/VComponentManager.h"
#include "localization/VLocalizationManager.h"
#include "runtime/VTaskMgr.h"

#include <benchmark/benchmark.h>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

using namespace vkit;

namespace {

constexpr int kUnits = 200;

/// An XLIFF file like the updater's: units keyed by resname (messages with placeholders), a group
/// of error texts with ids, and the platform conditions.
std::string MakeXliff(const char* inLanguage, const char* inWord) {
    std::ostringstream text;
    text << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"1.2\">\n<file original=\"Updater\" "
         << "source-language=\"en-US\" target-language=\"" << inLanguage
         << "\" datatype=\"plaintext\"><body>\n";
    text << "<group id=\"4000\" resname=\"Errors\">\n";
    for (int i = 0; i < kUnits; ++i) {
        if (i == kUnits / 2)
            text << "</group>\n";
        text << "  <trans-unit id=\"" << i + 1 << "\" resname=\"ERR_UPZQ_" << i << "\""
             << (i % 10 == 0 ? " qz:excludeIf=\"win\"" : "") << ">\n"
             << "    <source>The update step " << i << " failed for '{path}': {reason}</source>\n"
             << "    <target>" << inWord << " " << i << " '{path}' : {reason} \xC3\xA9t\xC3\xA9</target>\n"
             << "  </trans-unit>\n";
    }
    text << "</body></file></xliff>\n";
    return text.str();
}

/// A bundle in a temporary folder with Contents/Resources/{en,fr}.lproj/Updater.xlf (removed at exit).
struct BundleSetup {
    BundleSetup() {
        VTaskMgr::Init();
        VErrorBase::Init();
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/locbench-XXXXXX";
        fBundle = std::string(mkdtemp(pattern.data())) + "/Updater.app";
        std::string resources = fBundle + "/Contents/Resources/";
        for (auto [folder, language, word] :
             {std::tuple{"en.lproj", "en-US", "Step"}, {"fr.lproj", "fr-FR", "\xC3\x89tape"}}) {
            std::filesystem::create_directories(resources + folder);
            std::ofstream(resources + folder + "/Updater.xlf") << MakeXliff(language, word);
        }
        std::ifstream french(resources + "fr.lproj/Updater.xlf");
        fFrench.assign(std::istreambuf_iterator<char>(french), {});
        ::setenv("LANGUAGE", "fr_FR", 1);
    }
    ~BundleSetup() { std::filesystem::remove_all(std::filesystem::path(fBundle).parent_path()); }
    static BundleSetup& Get() {
        static BundleSetup sSetup;
        return sSetup;
    }
    std::string fBundle;
    std::string fFrench;
};

void BM_LocalizationStartUp(benchmark::State& ioState) {
    BundleSetup& setup = BundleSetup::Get();
    VFolder bundle(VFilePath(VString(setup.fBundle + "/"), FilePathStyle::Posix));
    for (auto _ : ioState) {
        DialectCode language = VComponentManager::GetLocalizationLanguage(&bundle, true, 0);
        VRefPtr<VLocalizationManager> manager = AdoptRef(new VLocalizationManager(language));
        manager->LoadDefaultLocalizationFoldersForComponentOrPlugin(&bundle);
        VString text;
        if (!manager->LocalizeStringWithKey(VString("ERR_UPZQ_199"), text))
            ioState.SkipWithError("the French file was not loaded");
        benchmark::DoNotOptimize(text);
    }
}

void BM_XercesSAXParseOfTheFrenchFile(benchmark::State& ioState) {
    BundleSetup& setup = BundleSetup::Get();
    xercesc::XMLPlatformUtils::Initialize(); // the library brings it up in its XML module, not here
    xercesc::DefaultHandler handler;
    for (auto _ : ioState) {
        std::ifstream file(setup.fBundle + "/Contents/Resources/fr.lproj/Updater.xlf");
        std::string bytes((std::istreambuf_iterator<char>(file)), {});
        std::unique_ptr<xercesc::SAX2XMLReader> reader(xercesc::XMLReaderFactory::createXMLReader());
        reader->setContentHandler(&handler);
        xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(bytes.data()), bytes.size(),
                                          u"bench");
        reader->parse(source);
    }
    ioState.SetBytesProcessed(static_cast<int64_t>(ioState.iterations() * setup.fFrench.size()));
}

} // namespace

BENCHMARK(BM_LocalizationStartUp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_XercesSAXParseOfTheFrenchFile)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
