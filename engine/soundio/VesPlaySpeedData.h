// Play-speed presets of a document: one per output device, kept with the
// document's metadata as the XML element PlaySpeedDataList.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace VkitXML {
class Node;
}

struct VesPlaySpeedData {
    std::string device = "Default";
    double relSpeed = 1.0;
    std::int64_t absSpeed = 0;  // Hz; 0 or 1: the document's own rate ("Original")
};

class VesPlaySpeedDataLst {
public:
    static constexpr const char* kDefaultName = "Default";
    // The seven speeds of the Play speed menu.
    static constexpr double kMenuSpeeds[7] = {0.05, 0.1, 0.25, 0.5, 1.0, 2.0, 4.0};

    // Reads the PlaySpeedDataList element (nullptr: empty list).
    void fromXml(const VkitXML::Node* list);
    std::unique_ptr<VkitXML::Node> toXml() const;

    // The preset of `deviceName`, else "Default", else a new "Default" one.
    VesPlaySpeedData& current(const std::string& deviceName);
    // The preset of `deviceName` itself, created with the defaults when missing.
    VesPlaySpeedData& ofDevice(const std::string& deviceName);
    void set(const VesPlaySpeedData& preset) { m_list[preset.device] = preset; }
    std::size_t size() const { return m_list.size(); }

private:
    std::map<std::string, VesPlaySpeedData> m_list;
};

// The rate a document of `docRateHz` plays at with `preset` on a device
// that can or cannot change its rate.
std::uint32_t playbackRate(std::uint32_t docRateHz, const VesPlaySpeedData& preset, bool deviceRateChange);
// The preset's relative speed when positive, else 1.
inline double currentSpeed(const VesPlaySpeedData& preset) { return preset.relSpeed > 0 ? preset.relSpeed : 1.0; }
// The menu item (0..6) whose speed the preset has exactly, with absolute speed 0; 7 (Other) when none.
int menuSpeedIndex(const VesPlaySpeedData& preset);
