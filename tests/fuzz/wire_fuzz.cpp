// libFuzzer target over every parser of bytes that come off the wire: the frame
// unstuffing and reply check, the communication log's annotation, the reply decoders,
// and the emulated sign's side of the protocol. The first byte picks the parser.
//
//   CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQORDTCON_FUZZ=ON -DQORDTCON_SANITIZE=ON
//   cmake --build build-fuzz --target wire_fuzz && build-fuzz/tests/fuzz/wire_fuzz
//   -max_total_time=60
#include <cstdint>
#include <stdexcept>
#include <string>

#include <qordtcon/qordtcon.hpp>

#include "signsim/session.hpp"
#include "signsim/shared_sign.hpp"

namespace {

// The sign's answers go nowhere.
struct NullLine : signsim::Line {
  void Send(std::string, std::chrono::milliseconds) override {}
  void Drop() override {}
};

template <class T, class... Args>
void Decode(const std::string& data, Args... args) {
  T object;
  try {
    object.GetDataFromString(args..., data);
  } catch (const std::invalid_argument&) {
    // Decoders that raise on a short answer do so by design.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  const std::string data(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  switch (bytes[0] % 8) {
    case 0: {
      static qordtcon::classrTransVars vars;
      static qordtcon::classrOutPutRoutines link(vars);
      static qordtcon::classrTransRoutines engine(vars, link);
      vars.NewBcc = size % 2 == 0;
      engine.CheckPacket(1, 0, qordtcon::UnstuffFrame(data));
      qordtcon::DumpFrame(data);
      break;
    }
    case 1: {
      qordtcon::classDIAG_STATS stats;
      stats.SetDataByStr(data);
      break;
    }
    case 2: {
      qordtcon::classDIAG_SIGNTYPE type;
      type.SetDataByStr(data);
      qordtcon::classDIAG_GTIME clock;
      clock.SetDataByStr(data);
      break;
    }
    case 3: {
      qordtcon::classDIR_ALL all;
      all.num_entries(1);
      all.GetDataFromString(1, data);
      Decode<qordtcon::classDIR_FIRST>(data);
      Decode<qordtcon::classDIR_FILE>(data);
      break;
    }
    case 4: {
      qordtcon::classPLAY_GET_NEXT next;
      next.num_entries(1);
      next.GetDataFromString(1, data);
      Decode<qordtcon::classPLAY_POLL>(data);
      Decode<qordtcon::classPLAY_DESC_READ>(data);
      Decode<qordtcon::classPLAY_COUNT_READ>(data);
      break;
    }
    case 5:
      Decode<qordtcon::classVARIABLE_READ_Res>(data);
      Decode<qordtcon::classCELL_READ_Res>(data);
      Decode<qordtcon::classCOUNTER_READ_Res>(data);
      Decode<qordtcon::classPAGE_GET_Resp>(data);
      break;
    default: {
      // The sign's side: frames, inquiries, acknowledges and noise from a host.
      static signsim::Options options;
      static signsim::SharedSign sign(options);
      NullLine line;
      signsim::Session session(sign, line);
      session.Receive(data);
      break;
    }
  }
  return 0;
}
