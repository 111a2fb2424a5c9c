#include "CliCommands.h"

const std::vector<CliCommand>& cliCommands()
{
    static const std::vector<CliCommand> commands = {
        {cmdInfoSpec, cmdInfo},
        {cmdConvertSpec, cmdConvert},
        {cmdPowerSpec, cmdPower},
        {cmdPulsesSpec, cmdPulses},
        {cmdCallsSpec, cmdCalls},
        {cmdHistogramSpec, cmdHistogram},
        {cmdFilterSpec, cmdFilter},
        {cmdMarksSpec, cmdMarks},
        {cmdDemoSpec, cmdDemo},
        {cmdDetectorFilesSpec, cmdDetectorFiles},
        {cmdRecordSpec, cmdRecord},
        {cmdTriggerSplitSpec, cmdTriggerSplit},
        {cmdProjectSpec, cmdProject},
        {cmdClassifySpec, cmdClassify},
#ifdef VES_HAVE_RENDER
        {cmdSpectrogramSpec, cmdSpectrogram},
#endif
    };
    return commands;
}
