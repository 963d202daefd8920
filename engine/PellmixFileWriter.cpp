#include "engine/PellmixFileWriter.h"

bool writeFileThroughTemporary (const juce::File& target,
                                const std::function<bool (juce::OutputStream&)>& writeBody)
{
    juce::TemporaryFile temp (target);
    juce::int64 written = 0;
    {
        juce::FileOutputStream out (temp.getFile(), 32768);
        if (out.failedToOpen() || !writeBody (out))
            return false;
        out.flush();
        if (out.getStatus().failed())
            return false;
        written = out.getPosition();
    }
    // A short write (at a file-size limit, for example) does not always show in the stream's
    // status, but it does in the file's size.
    return temp.getFile().getSize() == written && temp.overwriteTargetFileWithTemporary();
}

bool writeFileThroughTemporary (const juce::File& target, const void* data, std::size_t numBytes)
{
    return writeFileThroughTemporary (target,
                                      [=] (juce::OutputStream& out) { return out.write (data, numBytes); });
}
