#include "results.hpp"

#include <type_traits>

namespace signctl {

namespace {

template <class T>
Json Value(const T& field) {
  if constexpr (std::is_same_v<T, std::string>) {
    return TextValue(field);
  } else {
    return field;
  }
}

// A field of `r` under its own name.
#define FIELD(name) \
  { #name, Value(r.name) }
// A field that holds bytes, not text.
#define BYTES(name) \
  { #name, Hex(r.name) }
// The time that a field of clock bytes gives, under the field's name and "_text".
#define CLOCK_TEXT(name) \
  { #name "_text", ClockText(r.name) }

// Six clock bytes as the statistics record carries them: hour, minute, second, day, month,
// year within the century (the sign's clock is set in that order, and signsim reports it so).
// null when they are no time, as the zeros of a sign that never loaded anything.
Json ClockText(std::string_view bytes) {
  if (bytes.size() != 6) return nullptr;
  int f[6];
  for (std::size_t i = 0; i < 6; ++i)
    f[i] = static_cast<unsigned char>(bytes[i]);
  const auto [hour, min, sec, mday, mon, year] = f;
  if (hour > 23 || min > 59 || sec > 59 || mday < 1 || mday > 31 || mon < 1 || mon > 12 ||
      year > 99) {
    return nullptr;
  }
  const auto two = [](int n) {
    return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
  };
  return "20" + two(year) + "-" + two(mon) + "-" + two(mday) + " " + two(hour) + ":" + two(min) +
         ":" + two(sec);
}

}  // namespace

Json TextValue(std::string_view bytes) {
  while (!bytes.empty() && bytes.back() == '\0')
    bytes.remove_suffix(1);
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!out.empty()) out += ' ';
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// clang-format off
Json ToJson(const qordtcon::classDIAG_STATS& r) {
  return {FIELD(appl_name), FIELD(numberbadframes), FIELD(resets_noinit), BYTES(cur_datetime),
          CLOCK_TEXT(cur_datetime),
          FIELD(sign_type), FIELD(module_type), FIELD(modules_wide), FIELD(modules_high),
          FIELD(scan_enabled), FIELD(dst_enabled), FIELD(dst_status), FIELD(def_enabled),
          FIELD(def_loaded), FIELD(node_address), FIELD(group_addresses), FIELD(GROUP_MASTERS),
          FIELD(pixels_wide), FIELD(pixels_high), FIELD(totpixels_wide), FIELD(totpixels_high),
          FIELD(mem_pages), FIELD(totframes), FIELD(totplay_entries), FIELD(framesize),
          FIELD(switch1), FIELD(switch2), FIELD(switch3), FIELD(switch4), FIELD(switch5),
          FIELD(soft_enabled), FIELD(softswitch1), FIELD(softswitch2), FIELD(softswitch3),
          FIELD(softswitch4), FIELD(softswitch5), FIELD(master_slave), FIELD(ismaster),
          FIELD(isslave), FIELD(slaveswide), FIELD(slaveshigh), FIELD(masteraddress), FIELD(myx),
          FIELD(myendx), FIELD(myy), FIELD(myendy), FIELD(myscroll_delay), FIELD(modemsign),
          FIELD(initstring), FIELD(autodim_enabled), FIELD(dimlevel), FIELD(dim_lowrange),
          FIELD(dim_highrange), FIELD(tempf), FIELD(tempc), FIELD(temp_adjust),
          FIELD(dimsched_default), FIELD(dimsched_periods), BYTES(dimschedule),
          FIELD(current_fontwidth), FIELD(current_fontheight), FIELD(font2432loaded),
          FIELD(customfonts_loaded), FIELD(running), FIELD(autoplay), FIELD(playing),
          FIELD(scrolling), FIELD(scrollspeed), FIELD(indelay), FIELD(delay), FIELD(blinkenabled),
          FIELD(blinkrate), FIELD(numberframesloaded), FIELD(numberplayentries),
          FIELD(currentplayentrynum), FIELD(currentplayentry), BYTES(datetimelastload),
          CLOCK_TEXT(datetimelastload),
          FIELD(msgrec_notme), FIELD(msgrec_me), FIELD(msgrec_nakbadcrc),
          FIELD(msgrec_nakbadcmdfnc), FIELD(msgrec_nakbadsize), FIELD(msgrec_acked),
          FIELD(msgrec_respokcmd), FIELD(msgrec_respdata), FIELD(msgrec_duplicate),
          FIELD(msgrec_enq), FIELD(msgrec_timeout), FIELD(msgtr), FIELD(msgtr_naked),
          FIELD(msgtr_acked), FIELD(msgtr_retried), FIELD(msgtr_timeout), FIELD(play_enabled),
          FIELD(play_loopctr), FIELD(scr_clear), FIELD(scr_repeat), FIELD(default_loaded),
          FIELD(default_enabled), FIELD(loader_rev), FIELD(DateTimeLastVarUD), FIELD(serial_num),
          FIELD(play_counter), FIELD(autotext), FIELD(Z2Board), FIELD(display_name),
          FIELD(umsgrec_notme), FIELD(umsgrec_me), FIELD(umsgrec_nakbadcrc),
          FIELD(umsgrec_nakbadcmdfnc), FIELD(umsgrec_nakbadsize), FIELD(umsgrec_acked),
          FIELD(umsgrec_respokcmd), FIELD(umsgrec_respdata), FIELD(umsgrec_duplicate),
          FIELD(umsgrec_enq), FIELD(umsgrec_timeout), FIELD(umsgtr), FIELD(umsgtr_naked),
          FIELD(umsgtr_acked), FIELD(umsgtr_retried), FIELD(umsgtr_timeout)};
}
// clang-format on

// clang-format off
Json ToJson(const qordtcon::classDIAG_SIGNTYPE& r) {
  return {FIELD(signtype), FIELD(pix_width), FIELD(pix_height), FIELD(sw_5), FIELD(sw_4),
          FIELD(sw_3), FIELD(sw_2), FIELD(sw_1), FIELD(app_desc), FIELD(mem_banks),
          FIELD(node_add), FIELD(groups), FIELD(tot_frames), FIELD(tot_plays), FIELD(hour),
          FIELD(min), FIELD(sec), FIELD(mday), FIELD(mon), FIELD(year), FIELD(wday),
          FIELD(bad_frames), FIELD(autodim_set), FIELD(cur_level), FIELD(broadcast_master),
          FIELD(GROUP_MASTERS), FIELD(LastVarHour), FIELD(LastVarMin), FIELD(LastVarSec),
          FIELD(LastVarMon), FIELD(LastVarMDay), FIELD(LastVarYear), FIELD(LastVarWDay),
          FIELD(BoardType)};
}
// clang-format on

Json ToJson(const qordtcon::classDIAG_GTIME& r) {
  return {FIELD(hour), FIELD(min), FIELD(sec), FIELD(mday), FIELD(mon), FIELD(year), FIELD(wday)};
}

Json ToJson(const qordtcon::classDIAG_VERSION& r) {
  return {FIELD(version)};
}

// clang-format off
Json ToJson(const qordtcon::DirRecord& r) {
  return {FIELD(stat), FIELD(page), FIELD(lp), FIELD(offset), FIELD(fname), FIELD(size),
          FIELD(hour), FIELD(min), FIELD(sec), FIELD(mon), FIELD(mday), FIELD(year),
          FIELD(Reserved1)};
}
// clang-format on

Json ToJson(const qordtcon::classDIR_FILE& r) {
  Json j = ToJson(static_cast<const qordtcon::DirRecord&>(r));
  j["CMDFailed"] = r.CMDFailed;
  return j;
}

Json ToJson(const qordtcon::classDIR_ALL& r) {
  Json entries = Json::array();
  for (std::int16_t n = 1; n <= r.num_entries(); ++n) {
    entries.push_back(ToJson(qordtcon::DirRecord{
        r.stat(n), r.page(n), r.lp(n), r.offset(n), r.fname(n), r.size(n), r.hour(n), r.min(n),
        r.sec(n), r.mon(n), r.mday(n), r.year(n), r.Reserved1(n)}));
  }
  return {{"num_entries", r.num_entries()}, {"entries", entries}};
}

Json ToJson(const qordtcon::classPLAY_GET_NEXT& r) {
  Json entries = Json::array();
  for (std::int16_t n = 1; n <= r.num_entries(); ++n) {
    entries.push_back({{"FileName", TextValue(r.FileName(n))},
                       {"delay", r.delay(n)},
                       {"prefix", r.prefix(n)},
                       {"suffix", r.suffix(n)}});
  }
  return {{"num_entries", r.num_entries()}, {"entries", entries}};
}

Json ToJson(const qordtcon::classPLAY_POLL& r) {
  return {FIELD(play_loaded), FIELD(playing), FIELD(default_loaded), FIELD(default_enabled)};
}

Json ToJson(const qordtcon::classPLAY_DESC_READ& r) {
  return {FIELD(descriptor)};
}

Json ToJson(const qordtcon::classPAGE_GET_Resp& r) {
  return {FIELD(page_num), FIELD(prefix_mode), FIELD(suffix_mode), FIELD(delay)};
}

Json ToJson(const qordtcon::classVARIABLE_READ_Res& r) {
  return {FIELD(color), FIELD(blink), FIELD(inverse), FIELD(text_variable)};
}

Json ToJson(const qordtcon::classCELL_READ_Res& r) {
  return {FIELD(color), FIELD(blink), FIELD(inverse), FIELD(cell_variable)};
}

// clang-format off
Json ToJson(const qordtcon::classCOUNTER_READ_Res& r) {
  return {FIELD(counter_num), FIELD(operation), FIELD(frequency), FIELD(clear_mode),
          FIELD(incdec_value), FIELD(format_mode), FIELD(autoreload), FIELD(start_value),
          FIELD(stop_value), FIELD(current_value), FIELD(Status), FIELD(color), FIELD(blink),
          FIELD(inverse)};
}
// clang-format on

}  // namespace signctl
