// The payload and result classes of the command groups: clock, identity, configuration
// and statistics; text, default, scheduled and paged messages; play order; variables,
// cells and counters; directory entries.
#include <qordtcon/qordtcon.hpp>

#include "binding.hpp"

namespace qordtcon::python {

namespace {

void BindDiag(py::module_& m) {
  QORDTCON_PAYLOAD(classDIAG_STIME, ConvertDataIntoStr, hour, min, sec, mday, mon, year, wday);
  QORDTCON_PAYLOAD(classDIAG_GTIME, SetDataByStr, hour, min, sec, mday, mon, year, wday);
  QORDTCON_PAYLOAD(classDIAG_SIGNTYPE, SetDataByStr, signtype, pix_width, pix_height, sw_5, sw_4,
                   sw_3, sw_2, sw_1, app_desc, mem_banks, node_add, groups, tot_frames, tot_plays,
                   hour, min, sec, mday, mon, year, wday, bad_frames, autodim_set, cur_level,
                   broadcast_master, GROUP_MASTERS, LastVarHour, LastVarMin, LastVarSec, LastVarMon,
                   LastVarMDay, LastVarYear, LastVarWDay, BoardType);
  // The reply frame comes back as its first payload byte: (found, that byte).
  QORDTCON_DATA(classDIAG_VERSION, version)
      .def("SetDataByStr", [](classDIAG_VERSION& v, Bytes InfoStr) {
        const bool ok = v.SetDataByStr(InfoStr.s);
        return py::make_tuple(ok, InfoStr);
      });
  QORDTCON_PAYLOAD(classDIAG_BRIGHTNESS, GetStringFromData, dimlevel);
  QORDTCON_PAYLOAD(classDIAG_BRIGHTNESS_RANGE, GetStringFromData, low_level, hi_level);
  QORDTCON_PAYLOAD(classDIAG_BRIGHTNESS_SCHEDULE, GetStringFromData, default_brightness)
  QORDTCON_PAIRS(classDIAG_BRIGHTNESS_SCHEDULE, Num_Periods, start_hour, start_min, stop_hour,
                 stop_min, brightness_level)
      .Rows(1, "Num_Periods");
  QORDTCON_PAYLOAD(classDIAG_PIXEL_CONTROL, GetStringFromData)
  QORDTCON_PAIRS(classDIAG_PIXEL_CONTROL, num_pixels, pixelx, pixely, pixels, pixelc)
      .Rows(1, "num_pixels");
  QORDTCON_PAYLOAD(classDIAG_TEST, GetStringFromData, testcode, row, col);
  QORDTCON_PAYLOAD(classDIAG_TEMP_CALIBRATION, GetStringFromData, calibration);
  QORDTCON_PAYLOAD(classDIAG_HWTEMP, GetStringFromData, hwfrequency);
  QORDTCON_PAYLOAD(classDIAG_SOFT_SWITCHES, GetStringFromData, modebyte, switch1byte, switch2byte,
                   switch3byte, switch4byte, switch5byte);
  QORDTCON_PAYLOAD(classDIAG_GROUPS, GetStringFromData, groups);
  QORDTCON_PAYLOAD(classDIAG_GROUP_MASTERS, GetStringFromData, broadcast_id, group_ids);
  QORDTCON_PAYLOAD(classDIAG_SCROLL_OPTIONS, GetStringFromData, scrollclear, scrollrepeat,
                   scrolltrailer);

  // The sign's clocks in the record stay the six bytes it sent, and so does the schedule.
  ::qordtcon::python::Data<classDIAG_STATS>(m, "classDIAG_STATS")
      .Raw({"cur_datetime", "dimschedule", "datetimelastload"}) QORDTCON_FIELDS(
          classDIAG_STATS, appl_name, numberbadframes, resets_noinit, cur_datetime, sign_type,
          module_type, modules_wide, modules_high, scan_enabled, dst_enabled, dst_status,
          def_enabled, def_loaded, node_address, group_addresses, GROUP_MASTERS, pixels_wide,
          pixels_high, totpixels_wide, totpixels_high, mem_pages, totframes, totplay_entries,
          framesize, switch1, switch2, switch3, switch4, switch5, soft_enabled, softswitch1,
          softswitch2, softswitch3, softswitch4, softswitch5, master_slave, ismaster, isslave,
          slaveswide, slaveshigh, masteraddress, myx, myendx, myy, myendy, myscroll_delay,
          modemsign, initstring, autodim_enabled, dimlevel, dim_lowrange, dim_highrange, tempf,
          tempc, temp_adjust, dimsched_default, dimsched_periods, dimschedule, current_fontwidth,
          current_fontheight, font2432loaded, customfonts_loaded, running, autoplay, playing,
          scrolling, scrollspeed, indelay, delay, blinkenabled, blinkrate, numberframesloaded,
          numberplayentries, currentplayentrynum, currentplayentry, datetimelastload, msgrec_notme,
          msgrec_me, msgrec_nakbadcrc, msgrec_nakbadcmdfnc, msgrec_nakbadsize, msgrec_acked,
          msgrec_respokcmd, msgrec_respdata, msgrec_duplicate, msgrec_enq, msgrec_timeout, msgtr,
          msgtr_naked, msgtr_acked, msgtr_retried, msgtr_timeout, play_enabled, play_loopctr,
          scr_clear, scr_repeat, default_loaded, default_enabled, loader_rev, DateTimeLastVarUD,
          serial_num, play_counter, autotext, Z2Board, display_name, umsgrec_notme, umsgrec_me,
          umsgrec_nakbadcrc, umsgrec_nakbadcmdfnc, umsgrec_nakbadsize, umsgrec_acked,
          umsgrec_respokcmd, umsgrec_respdata, umsgrec_duplicate, umsgrec_enq, umsgrec_timeout,
          umsgtr, umsgtr_naked, umsgtr_acked, umsgtr_retried, umsgtr_timeout)
      .Codec("SetDataByStr", &classDIAG_STATS::SetDataByStr);
}

void BindMessages(py::module_& m) {
  QORDTCON_PAYLOAD(classTEXT_MSG, GetStringFromData, row, col, mode, msg);
  QORDTCON_PAYLOAD(classTEXT_SCRMSG, GetStringFromData, row, col, Length, mode, msg);
  QORDTCON_PAYLOAD(classTEXT_SETTABS, GetStringFromData, table_num, tabs);
  QORDTCON_PAYLOAD(classTEXT_SCRSPEED, GetStringFromData, speed);
  QORDTCON_PAYLOAD(classTEXT_PAUSE_RATE, GetStringFromData, Value);
  QORDTCON_PAYLOAD(classTEXT_BLINK_RATE, GetStringFromData, Value);
  QORDTCON_PAYLOAD(classDEFMSG_MSG, GetStringFromData, msg_num, msg);
  QORDTCON_PAYLOAD(classDEFMSG_HORZVERT, GetStringFromData, horz);
  QORDTCON_PAYLOAD(classSCHMSG_MSG, GetStringFromData, msg_num, prefix_mode, suffix_mode, start_hr,
                   start_min, stop_hr, stop_min, month, mday, year, msg_format, msg);
  QORDTCON_PAYLOAD(classSCHMSG_FORMAT, GetStringFromData, format_code, num_lines, maxlen, reserved);
  QORDTCON_PAYLOAD(classSCHMSG_PREFIX, GetStringFromData, prefix_mode);
  QORDTCON_PAYLOAD(classSCHMSG_SUFFIX, GetStringFromData, suffix_mode);
  QORDTCON_PAYLOAD(classSCHMSG_DELAY, GetStringFromData, delay);
  QORDTCON_PAYLOAD(classPAGE_DSP, GetStringFromData, page_num, prefix_mode, suffix_mode, delay);
  QORDTCON_PAYLOAD(classPAGE_MSG, GetStringFromData, page_num, prefix_mode, suffix_mode, delay)
  QORDTCON_PAIRS(classPAGE_MSG, text)
      .def("XsYs", &classPAGE_MSG::XsYs)
      .def("Xs", &classPAGE_MSG::Xs)
      .def("Ys", &classPAGE_MSG::Ys);
  QORDTCON_PAYLOAD(classPAGE_GET_Req, GetStringFromData, pagenum);
  QORDTCON_PAYLOAD(classPAGE_GET_Resp, GetDataFromString, page_num, prefix_mode, suffix_mode,
                   delay);
}

// The entry tables every play order shares, entries 1..num_entries.
template <class C>
void PlayEntries(Data<C>& data) {
  data QORDTCON_PAIRS(C, num_entries, FileName, delay, prefix, suffix).Rows(1, "num_entries");
}

void BindPlayOrder(py::module_& m) {
  PlayEntries(QORDTCON_PAYLOAD(classPLAY_ORDER, GetStringFromData));
  PlayEntries(QORDTCON_PAYLOAD(classPLAY_ORDER_APP, GetStringFromData));
  PlayEntries(QORDTCON_PAYLOAD(classPLAY_GET_NEXT, GetDataFromString));
  QORDTCON_DATA(classPLAY_GET_FIRST, num_entries, FileName, delay, prefix, suffix);
  QORDTCON_PAYLOAD(classPLAY_RESTART, GetStringFromData, loopctr);
  QORDTCON_PAYLOAD(classPLAY_POLL, GetDataFromString, play_loaded, playing, default_loaded,
                   default_enabled);
  QORDTCON_PAYLOAD(classPLAY_DESC_WRITE, GetStringFromData, descriptor);
  QORDTCON_PAYLOAD(classPLAY_DESC_READ, GetDataFromString, descriptor);
  QORDTCON_PAYLOAD(classPLAY_COUNT_READ, GetDataFromString, PlayCounter);
}

void BindVariables(py::module_& m) {
  QORDTCON_PAYLOAD(classVARIABLE_READ_Req, GetStringFromData, variable_num);
  QORDTCON_PAYLOAD(classCELL_READ_Req, GetStringFromData, cell_num);
  QORDTCON_PAYLOAD(classCOUNTER_READ_Req, GetStringFromData, counter_num);
  QORDTCON_PAYLOAD(classVARIABLE_WRITE, GetStringFromData, variable_num, text_variable);
  QORDTCON_PAYLOAD(classCELL_WRITE, GetStringFromData, cell_num, cell_variable);
  QORDTCON_PAYLOAD(classCOUNTER_CONTROL, GetStringFromData, counter_num, Status, color, blink,
                   inverse);
  QORDTCON_PAYLOAD(classVARIABLE_READ_Res, GetDataFromString, color, blink, inverse, text_variable);
  QORDTCON_PAYLOAD(classCELL_READ_Res, GetDataFromString, color, blink, inverse, cell_variable);
  QORDTCON_PAYLOAD(classVARIABLE_MULTIWRITE, GetStringFromData)
  QORDTCON_PAIRS(classVARIABLE_MULTIWRITE, num_vars, X, Length, variable).Rows(1, "num_vars");
  QORDTCON_PAYLOAD(classVARIABLE_ATTRIBUTES, GetStringFromData)
  QORDTCON_PAIRS(classVARIABLE_ATTRIBUTES, num_vars, X, color, blink, inverse).Rows(1, "num_vars");
  QORDTCON_PAYLOAD(classCELL_LOCAL_WRITE, GetStringFromData)
  QORDTCON_PAIRS(classCELL_LOCAL_WRITE, cell_reset_month, cell_reset_day, cell_reset_year,
                 cell_reset_hour, cell_reset_minute)
      .Rows(0, 8);
  QORDTCON_PAYLOAD(classCOUNTER_DEFINE, GetStringFromData, counter_num, operation, frequency,
                   clear_mode, incdec_value, format_mode, autoreload, start_value, stop_value);
  QORDTCON_PAYLOAD(classCOUNTER_READ_Res, GetDataFromString, counter_num, operation, frequency,
                   clear_mode, incdec_value, format_mode, autoreload, start_value, stop_value,
                   current_value, Status, color, blink, inverse);
}

#define QORDTCON_DIR_RECORD \
  stat, page, lp, offset, fname, size, hour, min, sec, mon, mday, year, Reserved1

void BindDirectory(py::module_& m) {
  QORDTCON_PAYLOAD(classDIR_FIRST, GetDataFromString, QORDTCON_DIR_RECORD);
  QORDTCON_PAYLOAD(classDIR_NEXT, GetDataFromString, QORDTCON_DIR_RECORD);
  QORDTCON_PAYLOAD(classDIR_FILE, GetDataFromString, QORDTCON_DIR_RECORD, CMDFailed);
  QORDTCON_PAYLOAD(classDIR_ALL, GetDataFromString)
  QORDTCON_PAIRS(classDIR_ALL, num_entries, QORDTCON_DIR_RECORD).Rows(1, "num_entries");
}

}  // namespace

void BindPayloads(py::module_& m) {
  BindDiag(m);
  BindMessages(m);
  BindPlayOrder(m);
  BindVariables(m);
  BindDirectory(m);
}

}  // namespace qordtcon::python
