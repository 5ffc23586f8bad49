// The file classes (first record, data blocks, delete, show, fetch) and the QX4 loader frame
// with its two enumerations. File contents are bytes; file names on the sign are texts.
#include <qordtcon/qordtcon.hpp>

#include "binding.hpp"

namespace qordtcon::python {

namespace {

// The block table both block classes share: entries 2..TotalBlocks and entry 0 (the last).
template <class C>
Data<C>& Blocks(Data<C>& data) {
  return data.Field("FileBlockSize", &C::FileBlockSize)
      .template Pair<Bytes>("Data", &C::Data, &C::Data)
          QORDTCON_PAIRS(C, TotalBlocks, TotalBlocksEx)
      .Codec("GetStringFromData", &C::GetStringFromData);
}
template <class C>
Data<C>& Blocks(Data<C>&& data) {
  return Blocks(data);
}

}  // namespace

void BindFiles(py::module_& m) {
  QORDTCON_PAYLOAD(classGRAPHIC_REC_1stBLK, GetStringFromData, blk_num, FileName, size, hour, min,
                   sec, mon, mday, year);
  Blocks(QORDTCON_DATA(classGRAPHIC_REC_FLWBLK))
      .Pair<Bytes>("DataEx", &classGRAPHIC_REC_FLWBLK::DataEx, &classGRAPHIC_REC_FLWBLK::DataEx)
      .Codec("GetStringFromDataEx", &classGRAPHIC_REC_FLWBLK::GetStringFromDataEx);
  Blocks(QORDTCON_DATA(classGRAPHIC_GET));
  QORDTCON_PAYLOAD(classGRAPHIC_DEL, GetStringFromData, FileName);
  QORDTCON_PAYLOAD(classGRAPHIC_DSP, GetStringFromData, FileName, left, top, right, bot);
  QORDTCON_PAYLOAD(classGRAPHIC_GET_REQ, GetStringFromData, FileName, BlockNumber);
  // The caller's text loses its block number: (taken, the block's bytes).
  Data<classGRAPHIC_GET_RES>(m, "classGRAPHIC_GET_RES")
      .Raw({"FileData"}) QORDTCON_FIELDS(classGRAPHIC_GET_RES, FileData, blocknum)
      .def("SetDataByStr", [](classGRAPHIC_GET_RES& res, Bytes FileData) {
        const bool ok = res.SetDataByStr(FileData.s);
        return py::make_tuple(ok, FileData);
      });

  py::enum_<FDL_COMMAND>(m, "FDL_COMMAND", py::arithmetic())
      .value("FDL_QUERY", FDL_QUERY)
      .value("FDL_RAM_LOADER", FDL_RAM_LOADER)
      .value("FDL_RAM_SIZE", FDL_RAM_SIZE)
      .value("FDL_FLASH_CODE", FDL_FLASH_CODE)
      .value("FDL_RUN_RAM", FDL_RUN_RAM)
      .value("FDL_REBOOT", FDL_REBOOT)
      .value("FDL_DEBUG", FDL_DEBUG)
      .value("FDL_USER_BLOCK", FDL_USER_BLOCK)
      .export_values();
  py::enum_<FST_STATUS>(m, "FST_STATUS", py::arithmetic())
      .value("FST_NOT_SET", FST_NOT_SET)
      .value("FST_NEED_LOADER", FST_NEED_LOADER)
      .value("FST_HAVE_LOADER", FST_HAVE_LOADER)
      .value("FST_LOADER_RUNNING", FST_LOADER_RUNNING)
      .value("FST_NO_MEMORY", FST_NO_MEMORY)
      .value("FST_REBOOTING", FST_REBOOTING)
      .value("FST_ACK", FST_ACK)
      .value("FST_NACK", FST_NACK)
      .value("FST_SEQ_ERROR", FST_SEQ_ERROR)
      .value("FST_RAM_IN_FLASH", FST_RAM_IN_FLASH)
      .value("FST_FRAG_PACKET", FST_FRAG_PACKET)
      .export_values();
  Data<FirmwareDLQX4>(m, "FirmwareDLQX4")
      .Raw({"Data"}) QORDTCON_FIELDS(FirmwareDLQX4, Flag, Command, Status, Length, Address, Data)
      .def("NewCMD", &FirmwareDLQX4::NewCMD)
      .def("ClearCMD", &FirmwareDLQX4::ClearCMD)
      .Codec("GetStreamData", &FirmwareDLQX4::GetStreamData)
      .Codec("SetStreamData", &FirmwareDLQX4::SetStreamData);
  m.def("QX4FrameCheck", [](Bytes bytes) { return QX4FrameCheck(bytes.s); });
}

}  // namespace qordtcon::python
