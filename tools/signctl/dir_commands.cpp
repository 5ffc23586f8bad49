// The sign's file directory (CMD 8).
#include "commands.hpp"

namespace signctl {

using namespace qordtcon;

void AddDirCommands(Registry& r) {
  r.Group("Directory");
  r.Get(SIGNCTL_METHOD(GetAllDisplayDirInfo), "Read the whole directory entry by entry");
  r.Get(SIGNCTL_METHOD(GetFirstDisplayDirInfo), "Read the directory's first entry");
  r.Get(SIGNCTL_METHOD(GetNextDisplayDirInfo), "Read the directory's next entry");
  auto name = std::make_shared<std::string>();
  CLI::App* s = r.Query(Kebab("GetDisplayDirInfo"), "Read the entry of one file",
                        [name](Control& c) { return Read(c, ToJson(c.GetDisplayDirInfo(*name))); });
  Text(*s, "--file-name", *name, "The file's name")->required();
  r.Plain(SIGNCTL_METHOD(ClearDisplayDirInfo), "Clear the directory");
}

}  // namespace signctl
