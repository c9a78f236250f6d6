// The usage text: header, synopsis, two-column listing, types and legend,
// written piece by piece to a stream.
#include <cassert>
#include <string_view>
#include <vector>

#include "set_state.h"

namespace params {

namespace {

constexpr std::string_view kTypesMarker = "@types@";
constexpr std::string_view kLegendText = "required parameter";
constexpr std::uint32_t kContinuationIndent = 8;   // synopsis lines after the first
constexpr std::uint32_t kMarkWidth = 7;            // " * -x, " before each listing entry
constexpr std::uint32_t kDescriptionMinimum = 20;  // the listing is at least this wider than its name column

void Write(std::FILE* stream, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream); }

void WriteBlanks(std::FILE* stream, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) std::fputc(' ', stream);
}

std::vector<std::string> SplitAlternatives(const std::string& typeList) {
    std::vector<std::string> alternatives;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = typeList.find('|', start);
        alternatives.push_back(typeList.substr(start, bar - start));
        if (bar == std::string::npos) return alternatives;
        start = bar + 1;
    }
}

// The listing and the synopsis show parameters in these groups, in this order.
enum class UsageGroup { Positional, Required, Optional };
constexpr UsageGroup kGroups[] = {UsageGroup::Positional, UsageGroup::Required, UsageGroup::Optional};

UsageGroup GroupOf(const ParameterDecl& decl) {
    if (decl.flags & Positional) return UsageGroup::Positional;
    if (decl.flags & Required) return UsageGroup::Required;
    return UsageGroup::Optional;
}

bool ShowsAsSwitch(const ParameterDecl& decl) { return GroupOf(decl) == UsageGroup::Optional && (decl.flags & Switch); }

std::string ListingMark(const ParameterDecl& decl) {
    if (GroupOf(decl) == UsageGroup::Positional)
        return std::string(" ") + ((decl.flags & Required) ? '*' : ' ') + "     ";
    const std::string star = GroupOf(decl) == UsageGroup::Required ? " * " : "   ";
    if (decl.abbreviation == 0) return star + "    ";
    return star + '-' + decl.abbreviation + ", ";
}

std::string ListingEntry(const std::string& name, const ParameterDecl& decl) {
    if (GroupOf(decl) == UsageGroup::Positional) return "<" + name + "> ";
    if (ShowsAsSwitch(decl)) return "--" + name + " ";
    return "--" + name + "=<" + name + "> ";
}

std::string ValueSynopsis(const detail::SetState& set, const std::string& name) {
    const auto found = set.decls.find(name);
    if (found == set.decls.end() || found->second.typeList.empty()) return "<" + name + ">";
    std::string synopsis;
    const std::vector<std::string> alternatives = SplitAlternatives(found->second.typeList);
    for (std::size_t i = 0; i < alternatives.size(); ++i) {
        if (i > 0) synopsis += '|';
        synopsis += alternatives[i];
        // "[...]" says the type carries parameters of its own in brackets.
        const auto type = set.types.find(alternatives[i]);
        if (type != set.types.end() && !detail::SetState::of(*type->second).decls.empty()) synopsis += "[...]";
    }
    return synopsis;
}

std::string ExpandedDescription(const detail::SetState& set, const std::string& name) {
    const auto found = set.decls.find(name);
    if (found == set.decls.end()) return {};
    std::string description = found->second.description;
    const std::size_t marker = description.find(kTypesMarker);
    if (marker == std::string::npos) return description;
    std::string typeNames;
    const std::vector<std::string> alternatives = SplitAlternatives(found->second.typeList);
    for (std::size_t i = 0; i < alternatives.size(); ++i) {
        if (i > 0) typeNames += ", ";
        typeNames += alternatives[i];
    }
    description.replace(marker, kTypesMarker.size(), typeNames);
    return description;
}

}  // namespace

void printWrapped(std::FILE* stream, const std::string& text, std::uint32_t width, std::uint32_t indent,
                  bool finalLineFeed) {
    assert(stream != nullptr);
    std::string_view rest = text;
    if (width > indent) {
        const std::size_t available = width - indent;
        // A rest of exactly the available width is still broken.
        while (rest.size() >= available) {
            const std::string_view window = rest.substr(0, available);
            const std::size_t blank = window.rfind(' ');
            if (blank == std::string_view::npos) {
                Write(stream, window);
                rest.remove_prefix(available);
            } else {
                Write(stream, window.substr(0, blank));
                rest.remove_prefix(blank + 1);  // the blank at the break is dropped
            }
            Write(stream, "\n");
            WriteBlanks(stream, indent);
        }
    }
    Write(stream, rest);
    if (finalLineFeed) Write(stream, "\n");
}

void ParameterSet::printUsage(std::FILE* stream, std::uint32_t width, const std::string& prefix) const {
    assert(stream != nullptr);
    const detail::SetState& set = detail::SetState::of(*this);
    const std::string& usageHeader = set.usageHeader;
    printWrapped(stream, usageHeader, width, 0, false);
    const std::size_t lastFeed = usageHeader.rfind('\n');
    const std::size_t headerTail =
        lastFeed == std::string::npos ? usageHeader.size() : usageHeader.size() - lastFeed - 1;
    auto column = static_cast<std::uint32_t>(headerTail + 1);
    std::uint32_t entryWidth = 0;  // the listing's name column

    if (set.declOrder.empty()) {
        Write(stream, "\n");
    } else {
        if (!prefix.empty()) {
            Write(stream, "\n");
            WriteBlanks(stream, kContinuationIndent);
            Write(stream, prefix);
            Write(stream, "[");
            column = static_cast<std::uint32_t>(prefix.size() + kContinuationIndent + 1);
        }
        for (const UsageGroup group : kGroups) {
            for (const std::string& name : set.declOrder) {
                const ParameterDecl& decl = set.decls.at(name);
                if (GroupOf(decl) != group) continue;
                const auto nameLength = static_cast<std::uint32_t>(name.size());
                std::string entry;
                std::uint32_t widthNeeded = 2 * nameLength + 7;
                if (group == UsageGroup::Positional) {
                    entry = ValueSynopsis(set, name) + " ";
                    widthNeeded = nameLength + 7;
                } else if (ShowsAsSwitch(decl)) {
                    entry = decl.abbreviation ? std::string("-") + decl.abbreviation + " " : "--" + name + " ";
                    widthNeeded = nameLength;
                } else {
                    const std::string placeholder = ValueSynopsis(set, name);
                    entry = decl.abbreviation ? std::string("-") + decl.abbreviation + " " + placeholder + " "
                                              : "--" + name + "=" + placeholder + " ";
                }
                if (widthNeeded > entryWidth) entryWidth = widthNeeded;

                const auto entryLength = static_cast<std::uint32_t>(entry.size());
                column += entryLength;
                if (width != 0 && column > width) {
                    Write(stream, "\n");
                    WriteBlanks(stream, kContinuationIndent);
                    column = entryLength + kContinuationIndent;
                }
                Write(stream, entry);
            }
        }
        // In a nested synopsis the backspace puts the bracket over the last entry's blank.
        Write(stream, prefix.empty() ? "\n\n" : "\b]\n");
    }

    if (width < entryWidth + kDescriptionMinimum) width = entryWidth + kDescriptionMinimum;
    for (const UsageGroup group : kGroups) {
        for (const std::string& name : set.declOrder) {
            const ParameterDecl& decl = set.decls.at(name);
            if (GroupOf(decl) != group) continue;
            Write(stream, ListingMark(decl));
            const std::string entry = ListingEntry(name, decl);
            Write(stream, entry);
            if (entry.size() < entryWidth) WriteBlanks(stream, entryWidth - entry.size());
            printWrapped(stream, ExpandedDescription(set, name), width, entryWidth + kMarkWidth, true);
        }
    }
    Write(stream, "\n");

    if (listTypes) {
        for (const std::string& typeName : set.typeOrder) {
            const auto type = set.types.find(typeName);
            if (type != set.types.end()) type->second->printUsage(stream, width, typeName);
        }
    }
    if (prefix.empty()) {
        Write(stream, " * = ");
        Write(stream, kLegendText);
        Write(stream, "\n");
    }
    if (!set.usageFooter.empty()) Write(stream, set.usageFooter);
}

}  // namespace params
