// The control's result objects as JSON objects, every field under its own name and in
// declaration order; the text output is drawn from the same objects.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>
#include <qordtcon/qordtcon.hpp>

namespace signctl {

using Json = nlohmann::ordered_json;

// A text field as JSON carries it: one character per byte (so a script gets back exactly
// the bytes the sign sent), without the bytes 0 that pad it.
Json TextValue(std::string_view bytes);
// Bytes as upper-case hex pairs ("0C 1E 05"), for fields that are not text.
std::string Hex(std::string_view bytes);

Json ToJson(const qordtcon::classDIAG_STATS& r);
Json ToJson(const qordtcon::classDIAG_SIGNTYPE& r);
Json ToJson(const qordtcon::classDIAG_GTIME& r);
Json ToJson(const qordtcon::classDIAG_VERSION& r);
Json ToJson(const qordtcon::DirRecord& r);
Json ToJson(const qordtcon::classDIR_FILE& r);
Json ToJson(const qordtcon::classDIR_ALL& r);
Json ToJson(const qordtcon::classPLAY_GET_NEXT& r);
Json ToJson(const qordtcon::classPLAY_POLL& r);
Json ToJson(const qordtcon::classPLAY_DESC_READ& r);
Json ToJson(const qordtcon::classPAGE_GET_Resp& r);
Json ToJson(const qordtcon::classVARIABLE_READ_Res& r);
Json ToJson(const qordtcon::classCELL_READ_Res& r);
Json ToJson(const qordtcon::classCOUNTER_READ_Res& r);

}  // namespace signctl
