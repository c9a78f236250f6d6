#include "os/output_names.h"

#include <sys/stat.h>

#include <cassert>
#include <cerrno>

#include "os/errno_result.h"
#include "os/same_file.h"
#include "os/save_target.h"

namespace os {

namespace {

// The file a save under a name writes: an existing one by its device and inode, a
// new one by its directory's and the name it will have there.
struct SavedFile {
    dev_t device = 0;
    ino_t inode = 0;
    std::string newName;  // empty for an existing file
    bool operator==(const SavedFile&) const = default;
};

[[nodiscard]] status::Status SavedFileOf(const SaveTarget& target, SavedFile* file) {
    if (target.exists) {
        *file = {target.existing.st_dev, target.existing.st_ino, ""};
        return status::Ok();
    }
    struct stat directory {};
    if (stat(DirectoryOf(target.path).c_str(), &directory) != 0) return FailureOfErrno(errno);
    *file = {directory.st_dev, directory.st_ino, target.path.substr(target.path.find_last_of('/') + 1)};
    return status::Ok();
}

}  // namespace

status::Status CheckOutputNames(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs,
                                OutputRefusal* refusal) {
    assert(refusal != nullptr);
    std::vector<SavedFile> saved;
    for (const std::string& output : outputs) {
        SaveTarget target;
        SavedFile file;
        status::Status s = ResolveSaveTarget(output, &target);
        if (s.ok()) s = SavedFileOf(target, &file);
        if (!s.ok()) {
            *refusal = {output, "", ""};
            return s;
        }
        // An output not there yet cannot be an input that was found.
        for (const std::string& input : inputs)
            if (target.exists && NamesSameFile(target.path, input)) {
                *refusal = {output, input, ""};
                return status::Fail(status::Code::AccessDenied, {});
            }
        for (std::size_t k = 0; k < saved.size(); ++k)
            if (saved[k] == file) {
                *refusal = {output, "", outputs[k]};
                return status::Fail(status::Code::AccessDenied, {});
            }
        saved.push_back(file);
    }
    return status::Ok();
}

}  // namespace os
