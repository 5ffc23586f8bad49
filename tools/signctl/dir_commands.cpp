// The sign's file directory (CMD 8).
#include "commands.hpp"

namespace signctl {

using namespace qordtcon;

namespace {

// Past its last file the sign answers with the directory's end marker, an entry without a
// name and of size 0 (a file may be stored without a name, so the size decides too): the
// same rule that ends get-all-display-dir-info. It prints as that command prints an empty
// directory, not as a record of zeros.
template <class Entry>
void AddEntryRead(Registry& r, const std::string& name, Entry (Control::*read)(),
                  const std::string& help) {
  r.Query(name, help, [read](Control& c) {
    const Entry entry = (c.*read)();
    if (!TrimAtNul(entry.fname).empty() || entry.size != 0) return Read(c, ToJson(entry));
    return Read(c, {{"num_entries", 0}, {"entries", Json::array()}});
  });
}

}  // namespace

void AddDirCommands(Registry& r) {
  r.Group("Directory");
  r.Get(SIGNCTL_METHOD(GetAllDisplayDirInfo), "Read the whole directory entry by entry");
  AddEntryRead(r, SIGNCTL_METHOD(GetFirstDisplayDirInfo),
               "Read the directory's first entry (none when it is empty)");
  AddEntryRead(r, SIGNCTL_METHOD(GetNextDisplayDirInfo),
               "Read the directory's next entry (none past the last one)");
  auto name = std::make_shared<std::string>();
  CLI::App* s = r.Query(Kebab("GetDisplayDirInfo"), "Read the entry of one file",
                        [name](Control& c) { return Read(c, ToJson(c.GetDisplayDirInfo(*name))); });
  Text(*s, "--file-name", *name, kFileNameWidth, "The file's name")->required();
  r.Plain(SIGNCTL_METHOD(ClearDisplayDirInfo), "Clear the directory");
}

}  // namespace signctl
