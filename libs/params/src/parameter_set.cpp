// The registry: declarations, types, values, and deep copies of all of them.
#include "params/parameter_set.h"

#include <cassert>
#include <utility>

#include "set_state.h"

namespace params {

namespace {

constexpr std::size_t kMaxNameLength = 25;

std::unique_ptr<ParameterSet> DeepCopy(const std::unique_ptr<ParameterSet>& set) {
    return set ? std::make_unique<ParameterSet>(*set) : nullptr;
}

}  // namespace

ParameterDecl::ParameterDecl(const ParameterDecl& other)
    : value(other.value),
      flags(other.flags),
      description(other.description),
      abbreviation(other.abbreviation),
      given(other.given),
      defaultValue(other.defaultValue),
      typeList(other.typeList),
      nested(DeepCopy(other.nested)) {}

ParameterDecl& ParameterDecl::operator=(const ParameterDecl& other) {
    if (this != &other) {
        ParameterDecl copy(other);
        *this = std::move(copy);
    }
    return *this;
}

namespace detail {

SetState& SetState::of(ParameterSet& set) {
    assert(set.state_ && "a moved-from set must be assigned to before use");
    return *set.state_;
}

const SetState& SetState::of(const ParameterSet& set) {
    assert(set.state_ && "a moved-from set must be assigned to before use");
    return *set.state_;
}

SetState::SetState(const SetState& other)
    : text(other.text),
      usageHeader(other.usageHeader),
      usageFooter(other.usageFooter),
      decls(other.decls),
      abbreviations(other.abbreviations),
      declOrder(other.declOrder),
      typeOrder(other.typeOrder),
      tokens(other.tokens),
      errorSubject(other.errorSubject),
      errorPosition(other.errorPosition),
      nestingDepth(other.nestingDepth) {
    for (const auto& [name, prototype] : other.types) types.emplace(name, DeepCopy(prototype));
}

void SetState::resetValues() {
    for (auto& [name, decl] : decls) {
        decl.value = decl.defaultValue;
        decl.given = false;
        decl.nested.reset();
    }
}

}  // namespace detail

ParameterSet::ParameterSet() : state_(std::make_unique<detail::SetState>()) {}
ParameterSet::ParameterSet(ParameterSet&& other) noexcept = default;
ParameterSet& ParameterSet::operator=(ParameterSet&& other) noexcept = default;
ParameterSet::~ParameterSet() = default;

ParameterSet::ParameterSet(const ParameterSet& other)
    : skipUndeclared(other.skipUndeclared),
      listTypes(other.listTypes),
      state_(std::make_unique<detail::SetState>(detail::SetState::of(other))) {}

ParameterSet& ParameterSet::operator=(const ParameterSet& other) {
    if (this != &other) {
        ParameterSet copy(other);
        *this = std::move(copy);
    }
    return *this;
}

ParamError ParameterSet::declare(std::string name, char abbreviation, std::uint32_t flags, std::string description,
                                 std::string defaultValue, std::string typeList) {
    detail::SetState& set = detail::SetState::of(*this);
    if (name.size() > kMaxNameLength) return NameTooLong;
    // These characters end a name on the command line, so a name holding one could never be given.
    if (name.find_first_of("= []\t") != std::string::npos) return NameHasReservedChar;
    if (set.decls.contains(name)) return ParameterExists;
    if (abbreviation != 0 && set.abbreviations.contains(abbreviation)) return AbbreviationExists;

    ParameterDecl decl;
    decl.value = defaultValue;
    decl.flags = flags;
    decl.description = std::move(description);
    decl.abbreviation = abbreviation;
    decl.defaultValue = std::move(defaultValue);
    decl.typeList = std::move(typeList);
    set.decls.emplace(name, std::move(decl));
    if (abbreviation != 0) set.abbreviations.emplace(abbreviation, name);
    set.declOrder.push_back(std::move(name));
    return NoError;
}

ParamError ParameterSet::addType(std::string name, ParameterSet prototype) {
    detail::SetState& set = detail::SetState::of(*this);
    assert(prototype.state_ && "a moved-from set must be assigned to before use");
    if (set.types.contains(name)) return TypeExists;
    set.types.emplace(name, std::make_unique<ParameterSet>(std::move(prototype)));
    set.typeOrder.push_back(std::move(name));
    return NoError;
}

void ParameterSet::setUsageHeader(std::string header) { detail::SetState::of(*this).usageHeader = std::move(header); }

void ParameterSet::setUsageFooter(std::string footer) { detail::SetState::of(*this).usageFooter = std::move(footer); }

const std::string& ParameterSet::valueOf(const std::string& name) const {
    static const std::string kNoValue;
    const detail::SetState& set = detail::SetState::of(*this);
    const auto found = set.decls.find(name);
    return found == set.decls.end() ? kNoValue : found->second.value;
}

const ParameterSet* ParameterSet::nestedOf(const std::string& name) const {
    const detail::SetState& set = detail::SetState::of(*this);
    const auto found = set.decls.find(name);
    return found == set.decls.end() ? nullptr : found->second.nested.get();
}

}  // namespace params
