#include "link/port_refusals.h"

namespace gaugemon::link {

using core::pick;

void PortRefusals::clear() {
    permission_ = {};
    busy_ = {};
}

void PortRefusals::note(unsigned portIndex, PortFailure failure, std::string_view device) {
    if (portIndex >= kPortNameCount) return;
    if (failure == PortFailure::PermissionDenied) add(permission_, portIndex, device);
    if (failure == PortFailure::InUse) add(busy_, portIndex, device);
}

void PortRefusals::add(Refused& refused, unsigned portIndex, std::string_view device) {
    const uint32_t bit = uint32_t{1} << portIndex;
    if (refused.ports & bit) return;
    refused.ports |= bit;
    if (refused.count < kNamedPorts) {
        refused.named[refused.count] = portIndex;
        refused.devices[refused.count].assign(device);
    }
    ++refused.count;
}

// "COM3 (/dev/ttyUSB2), COM4 (/dev/ttyUSB3)" and how many more there are.
void PortRefusals::appendPorts(std::string& out, const Refused& refused, core::Language language) {
    const unsigned named = refused.count < kNamedPorts ? refused.count : kNamedPorts;
    for (unsigned i = 0; i < named; ++i) {
        if (i > 0) out += pick(language, ", ", "、");
        out += "COM" + std::to_string(refused.named[i]);
        if (!refused.devices[i].empty()) out += " (" + refused.devices[i] + ")";
    }
    if (refused.count <= named) return;
    if (language == core::Language::English) {
        out += " and " + std::to_string(refused.count - named) + " more";
    } else {
        out += " 等 " + std::to_string(refused.count) + " 个端口";
    }
}

void PortRefusals::appendExplanation(std::string& out, core::Language language) const {
    if (permission_.count > 0) {
        out += pick(language, "\nNo permission to open ", "\n无权打开 ");
        appendPorts(out, permission_, language);
        out += pick(language, ": join the dialout group (sudo usermod -aG dialout $USER), log in again and connect.",
                    "：请加入 dialout 组 (sudo usermod -aG dialout $USER)，重新登录后再连接。");
    }
    if (busy_.count > 0) {
        out += pick(language, "\nIn use by another program: ", "\n被其他程序占用：");
        appendPorts(out, busy_, language);
        out += pick(language, ". Close that program and connect again.", "。请关闭该程序后重新连接。");
    }
}

void appendKeptPortExplanation(std::string& out, core::Language language, PortFailure lastOpen, std::string_view port,
                               std::string_view device) {
    const std::string named(device.empty() ? port : device);
    const bool english = language == core::Language::English;
    switch (lastOpen) {
        case PortFailure::PermissionDenied:
        case PortFailure::InUse: return;
        case PortFailure::None:
            out += english ? "\nNo instrument answered on " + named + "." : "\n" + named + " 上没有仪器应答。";
            return;
        case PortFailure::NotFound:
            out += english ? "\nNo such device: " + named + "." : "\n设备不存在：" + named + "。";
            return;
        default: out += english ? "\n" + named + " cannot be used as a serial port." : "\n" + named + " 无法用作串口。";
    }
}

}  // namespace gaugemon::link
