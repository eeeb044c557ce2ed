#pragma once
// The diagnostic protocol's vocabulary, one for the program, the reference plug-in and the
// handset simulator: command codes, the refusals a handset answers with, the modes of a mode
// change, the NV item packet, and the codes of the two download protocols a handset speaks after
// CMD_DOWNLOAD. Framing is DiagCodec.h; the EFS2 subsystem is Efs2Protocol.h.
//
//   request:  code | fields (little-endian)    answer:  the same code | fields
//   refused:  ERR_* | a copy of the request
#include <QtGlobal>

// Command codes.
constexpr quint8 CMD_VERSION = 0x00;
constexpr quint8 CMD_ESN = 0x01;
constexpr quint8 CMD_STATUS = 0x0C;
constexpr quint8 CMD_NV_READ = 0x26;
constexpr quint8 CMD_NV_WRITE = 0x27;
constexpr quint8 CMD_MODE_CHANGE = 0x29; // u16 mode (MODE_*)
constexpr quint8 CMD_DOWNLOAD = 0x3A;    // the handset leaves for its boot loader (DMSS_*)
constexpr quint8 CMD_SPC = 0x41;         // six digits; answer 41 01 unlocked, 41 00 refused
constexpr quint8 CMD_PASSWORD = 0x46;    // eight bytes; answer 46 01 accepted, 46 00 refused
constexpr quint8 CMD_PRL_WRITE = 0x48;
constexpr quint8 CMD_PRL_READ = 0x49;
constexpr quint8 CMD_SUBSYSTEM = 0x4B; // subsystem id, u16 subsystem command (Efs2Protocol.h)
constexpr quint8 CMD_PRL_VERSION = 0x8C;

// Refusals: the first byte of the answer, followed by a copy of the request.
constexpr quint8 ERR_BAD_COMMAND = 0x13;
constexpr quint8 ERR_BAD_PARAMETER = 0x14;
constexpr quint8 ERR_BAD_LENGTH = 0x15;
constexpr quint8 ERR_NOT_ACCEPTED = 0x16;
constexpr quint8 ERR_BAD_MODE = 0x18; // the handset must be offline (or online) first
constexpr quint8 ERR_SPC_LOCKED = 0x42;
constexpr quint8 ERR_PASSWORD_NEEDED = 0x47;

// Modes of CMD_MODE_CHANGE.
constexpr quint16 MODE_OFFLINE = 1;
constexpr quint16 MODE_RESET = 2;
constexpr quint16 MODE_ONLINE = 4;

// NV item read and write: code | item (u16) | data (128) | NV status (u16).
constexpr int NV_PACKET_SIZE = 133;
constexpr int NV_DATA_SIZE = 128;
constexpr int NV_DATA_OFFSET = 3;
constexpr int NV_STATUS_OFFSET = 131;

// The boot loader's DMSS download protocol (fields big-endian).
constexpr quint8 DMSS_ACK = 0x02;
constexpr quint8 DMSS_NAK = 0x03; // u16 reason
constexpr quint8 DMSS_GO = 0x05;  // u16 segment, u16 offset
constexpr quint8 DMSS_NOP = 0x06;
constexpr quint8 DMSS_PARAMETERS_REQUEST = 0x07;
constexpr quint8 DMSS_PARAMETERS = 0x08;
constexpr quint8 DMSS_RESET = 0x0A;
constexpr quint8 DMSS_VERSION_REQUEST = 0x0C;
constexpr quint8 DMSS_VERSION = 0x0D;
constexpr quint8 DMSS_WRITE32 = 0x0F; // u32 address, u16 length, data

// The flash programmer's streaming protocol (fields little-endian). Each request's answer is the
// next code up; STREAM_ERROR and STREAM_LOG may answer anything.
constexpr quint8 STREAM_HELLO = 0x01;
constexpr quint8 STREAM_HELLO_ANSWER = 0x02;
constexpr quint8 STREAM_WRITE = 0x07; // u32 offset, data
constexpr quint8 STREAM_WRITTEN = 0x08;
constexpr quint8 STREAM_NOP = 0x09;
constexpr quint8 STREAM_NOP_ANSWER = 0x0A;
constexpr quint8 STREAM_RESET = 0x0B;
constexpr quint8 STREAM_RESET_ANSWER = 0x0C;
constexpr quint8 STREAM_ERROR = 0x0D; // u32 code, text
constexpr quint8 STREAM_LOG = 0x0E;
constexpr quint8 STREAM_CLOSE = 0x15;
constexpr quint8 STREAM_CLOSED = 0x16;
constexpr quint8 STREAM_SECURITY_MODE = 0x17;
constexpr quint8 STREAM_SECURITY_MODE_ANSWER = 0x18;
constexpr quint8 STREAM_PARTITION_TABLE = 0x19;
constexpr quint8 STREAM_PARTITION_TABLE_ANSWER = 0x1A;
constexpr quint8 STREAM_OPEN_IMAGE = 0x1B; // u8 image type
constexpr quint8 STREAM_IMAGE_OPENED = 0x1C;
