// The communication log: a plain-text trace of every byte exchanged, annotated with
// the protocol's field names, plus connection steps, retries and time-outs.
//
// Switched by the setting DebugMode (compared in upper case): "ON" writes every line,
// "ON1" only level-1 lines (data traffic, socket events), "ON2" only level-2 lines
// (connection steps, retries, time-outs, failures); anything else writes nothing.
// The file is the setting DebugLog; a DebugLog beginning with "\" is put behind the
// setting AppPath. Lines end with CR LF; a line is one write, so lines from several
// threads or processes never interleave within a line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace qordtcon {

// The fixed log file: $QORDTCON_LOG_DIR/iocomm.log, else iocomm.log in the system's
// temporary directory. DebugLog defaults to it; FlushLog always recreates it.
std::filesystem::path DefaultLogFile();

// The file DebugLog and AppPath name now.
std::filesystem::path LogFile();

// Sends every line of this process, of both levels, to `file` from now on, whatever
// DebugMode and DebugLog say (a tool's --log option); an empty path ends that.
void LogToFile(const std::filesystem::path& file);

// Whether DebugMode lets lines of this level (1 or 2) through now; callers test it
// before building costly texts such as frame dumps.
bool LogLevelOn(int level);

// Appends one line of the given level (1 or 2) when DebugMode allows it.
void WriteLog(std::string_view text, int level);

// A host's receiver of one control's log lines: the level and the line as the file gets it.
using LogSink = std::function<void(std::int16_t level, const std::string& line)>;
// WriteLog, and the same line, when it is produced, to `sink` too.
void WriteLog(std::string_view text, int level, const LogSink& sink);

// Recreates the fixed log file with the line "Log flushed at <date and time>".
void FlushLog();

// The bytes annotated with the protocol's field names:
// "DLE=[10] STX=[2] DST=[1] ... A(65) DLE=[10] ETX=[3] BCC=[AF] ".
std::string DumpFrame(std::string_view bytes);

}  // namespace qordtcon
