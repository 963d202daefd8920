// libFuzzer target: the settings file reader on arbitrary bytes, read as "VantrelMelvane.cfg"
// (with the configuration's own keys) and then as the fallback "VantrelCapture.cfg". Nothing may
// crash, leak or hit undefined behaviour, and no document read may nest deeper than the bound.
//
// The configuration is built once, with HOME in a scratch folder and no JACK server to reach,
// so its device manager opens nothing.
#include "settings/PellmixConfig.h"
#include "support/FuzzScratch.h"
#include "support/XmlDepthCheck.h"

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    pellmix_fuzz::scratchFolder();
    PellmixConfig::getInstance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    auto& settings = PellmixConfig::getInstance()->settings;
    for (const auto& file : {settings.getSettingsFile(), settings.getFallbackSettingsFile()})
    {
        pellmix_fuzz::writeInput (file, data, size);
        pellmix_fuzz::checkDepthBound (file, maxXmlFileBytes);
        settings.load();
        file.deleteFile();
        pellmix_fuzz::removeKeptAside (file);
    }
    return 0;
}
