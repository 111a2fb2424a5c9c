#include "soundio/WaveError.h"


const char* waveErrorDescription(int code)
{
    static const char* const general[] = {
        "No error.",
        "Unspecified error.",
        "Device ID out of range.",
        "Driver failed enable.",
        "Device already allocated.",
        "Device handle is invalid.",
        "No device driver present.",
        "Memory allocation error.",
        "Function isn't supported.",
        "Error value out of range.",
        "Invalid flag passed.",
        "Invalid parameter passed.",
        "Handle being used simultaneously on another thread (eg callback).",
        "Specified alias not found.",
        "Bad registry database.",
        "Registry key not found.",
        "Registry read error.",
        "Registry write error.",
        "Registry delete error.",
        "Registry value not found.",
        "Driver does not call DriverCallback.",
        "More data to be returned.",
    };
    static const char* const waveSpecific[] = {
        "Unsupported wave format.",
        "Still something playing.",
        "Header not prepared.",
        "Device is synchronous.",
    };
    if (code >= 0 && code <= 21)
        return general[code];
    if (code >= 32 && code <= 35)
        return waveSpecific[code - 32];
    return "Unknown error code.";
}

std::string WaveErrorText(const std::string& caller, int code)
{
    return caller + "\r\n" + "Wave Error#" + std::to_string(code) + ": " + waveErrorDescription(code);
}
