// libFuzzer target: the project file reader on arbitrary bytes. Nothing may crash, leak or hit
// undefined behaviour, a load keeps the eight IR records, and no document read may nest deeper
// than the bound.
#include "settings/PellmixProject.h"
#include "support/FuzzScratch.h"
#include "support/XmlDepthCheck.h"

#include <cstdlib>

namespace
{
constexpr int numRecords = 8;
}

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    pellmix_fuzz::scratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto file = pellmix_fuzz::scratchFolder().getChildFile ("input.xml");
    pellmix_fuzz::writeInput (file, data, size);
    pellmix_fuzz::checkDepthBound (file, maxXmlFileBytes);

    PellmixProject project;
    for (int i = 0; i < numRecords; ++i)
        project.addIrRecord ({}, false, false, 1792, 0, 0.0f, false, 0.0f);
    project.load (file);

    if (project.irRecords.size() != numRecords || project.projectFile != file)
        std::abort();
    return 0;
}
