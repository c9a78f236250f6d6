// The registry: declarations, types, values, and deep copies of all of them.
#include "params/parameter_set.h"

#include <utility>

namespace params {

namespace {

constexpr std::size_t kMaxNameLength = 25;

std::unique_ptr<ParameterSet> deepCopy(const std::unique_ptr<ParameterSet>& set) {
    return set ? std::make_unique<ParameterSet>(*set) : nullptr;
}

}  // namespace

ParameterDecl::ParameterDecl() = default;
ParameterDecl::ParameterDecl(ParameterDecl&& other) noexcept = default;
ParameterDecl& ParameterDecl::operator=(ParameterDecl&& other) noexcept = default;
ParameterDecl::~ParameterDecl() = default;

ParameterDecl::ParameterDecl(const ParameterDecl& other)
    : value(other.value),
      flags(other.flags),
      description(other.description),
      abbreviation(other.abbreviation),
      given(other.given),
      defaultValue(other.defaultValue),
      typeList(other.typeList),
      nested(deepCopy(other.nested)) {}

ParameterDecl& ParameterDecl::operator=(const ParameterDecl& other) {
    if (this != &other) {
        ParameterDecl copy(other);
        *this = std::move(copy);
    }
    return *this;
}

ParameterSet::ParameterSet() = default;
ParameterSet::ParameterSet(ParameterSet&& other) noexcept = default;
ParameterSet& ParameterSet::operator=(ParameterSet&& other) noexcept = default;
ParameterSet::~ParameterSet() = default;

ParameterSet::ParameterSet(const ParameterSet& other)
    : skipUndeclared(other.skipUndeclared),
      listTypes(other.listTypes),
      text_(other.text_),
      usageHeader_(other.usageHeader_),
      usageFooter_(other.usageFooter_),
      decls_(other.decls_),
      abbreviations_(other.abbreviations_),
      declOrder_(other.declOrder_),
      typeOrder_(other.typeOrder_),
      tokens_(other.tokens_),
      errorSubject_(other.errorSubject_),
      errorPosition_(other.errorPosition_),
      nestingDepth_(other.nestingDepth_) {
    for (const auto& [name, prototype] : other.types_) types_.emplace(name, deepCopy(prototype));
}

ParameterSet& ParameterSet::operator=(const ParameterSet& other) {
    if (this != &other) {
        ParameterSet copy(other);
        *this = std::move(copy);
    }
    return *this;
}

ParamError ParameterSet::declare(std::string name, char abbreviation, std::uint32_t flags, std::string description,
                                 std::string defaultValue, std::string typeList) {
    if (name.size() > kMaxNameLength) return NameTooLong;
    // These characters end a name on the command line, so a name holding one could never be given.
    if (name.find_first_of("= []\t") != std::string::npos) return NameHasReservedChar;
    if (decls_.contains(name)) return ParameterExists;
    if (abbreviation != 0 && abbreviations_.contains(abbreviation)) return AbbreviationExists;

    ParameterDecl decl;
    decl.value = defaultValue;
    decl.flags = flags;
    decl.description = std::move(description);
    decl.abbreviation = abbreviation;
    decl.defaultValue = std::move(defaultValue);
    decl.typeList = std::move(typeList);
    decls_.emplace(name, std::move(decl));
    if (abbreviation != 0) abbreviations_.emplace(abbreviation, name);
    declOrder_.push_back(std::move(name));
    return NoError;
}

ParamError ParameterSet::addType(std::string name, ParameterSet prototype) {
    if (types_.contains(name)) return TypeExists;
    types_.emplace(name, std::make_unique<ParameterSet>(std::move(prototype)));
    typeOrder_.push_back(std::move(name));
    return NoError;
}

void ParameterSet::setUsageHeader(std::string header) { usageHeader_ = std::move(header); }

void ParameterSet::setUsageFooter(std::string footer) { usageFooter_ = std::move(footer); }

const std::string& ParameterSet::valueOf(const std::string& name) const {
    static const std::string kNoValue;
    const auto found = decls_.find(name);
    return found == decls_.end() ? kNoValue : found->second.value;
}

const ParameterSet* ParameterSet::nestedOf(const std::string& name) const {
    const auto found = decls_.find(name);
    return found == decls_.end() ? nullptr : found->second.nested.get();
}

void ParameterSet::resetValues() {
    for (auto& [name, decl] : decls_) {
        decl.value = decl.defaultValue;
        decl.given = false;
        decl.nested.reset();
    }
}

}  // namespace params
