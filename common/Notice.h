// A notice: its level, decided once where the notice is made, and its text. The log line, the
// colour a window gives it and the line /once prints all derive from this one value.
#pragma once

#include <string>
#include <utility>

namespace pavona {

enum class TNoticeLevel { Info = 0, Warning = 1, Error = 2, Stop = 3 };

struct TNotice {
    TNoticeLevel Level = TNoticeLevel::Info;
    std::string Text; // as shown: a leading "⛔" or "⚠" and "**" marks are the view's to style

    bool Empty() const { return Text.empty(); }
    static TNotice Info(std::string text) { return {TNoticeLevel::Info, std::move(text)}; }
    static TNotice Warning(std::string text) { return {TNoticeLevel::Warning, std::move(text)}; }
    static TNotice Error(std::string text) { return {TNoticeLevel::Error, std::move(text)}; }
    static TNotice Stop(std::string text) { return {TNoticeLevel::Stop, std::move(text)}; }
    bool operator==(const TNotice&) const = default;
};

} // namespace pavona
