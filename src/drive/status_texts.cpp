#include "drive/status_texts.h"

#include <algorithm>
#include <array>

#include "resources/format.h"

namespace fwu {
namespace {

// The completion codes of the ASPI code space. The fallback row also covers a request that never
// completed (code 0), which is why it reads "Timeout.".
constexpr auto kCompletionCodes = std::to_array<CodeText>({
    {0x02, "Aborted."},
    {0x04, "Error."},
    {0x81, "Invalid HA."},
    {0x82, "No Device."},
    {0xE0, "Invalid SRB."},
    {0xE4, "Faild Initailize."},
    {0xE5, "ASPI is busy."},
    {0xE6, "Buffer size is too big."},
    {0x00, "Timeout."},
});

constexpr auto kHostStatuses = std::to_array<CodeText>({
    {0x11, "Selection timeout."},
    {0x12, "Overrun or Underrun."},
    {0x13, "Busfree ditect."},
    {0x14, "Phase Error."},
    {0x00, ""},
});

// The ASPI set names fewer target statuses than pass-through; the others show their code.
constexpr auto kAspiTargetStatuses = std::to_array<CodeText>({
    {0x02, "Check Condition."},
    {0x08, "Target Busy."},
    {0x18, "Request Conflict."},
    {0x00, ""},
});

constexpr auto kPassThroughTargetStatuses = std::to_array<CodeText>({
    {0x02, "Check Condition."},
    {0x04, "Condition Met."},
    {0x08, "Target Busy."},
    {0x10, "Intermediate."},
    {0x14, "Intermediate-Condition Met."},
    {0x18, "Reservation Conflict."},
    {0x22, "Command Terminated."},
    {0x28, "Queue Full."},
    {0x00, ""},
});

// Key 0 has no row of its own: it is the fallback.
constexpr auto kSenseKeys = std::to_array<CodeText>({
    {0x01, "RECOVERED ERROR"},
    {0x02, "NOT READY"},
    {0x03, "MEDIUM ERROR"},
    {0x04, "HARDWARE ERROR"},
    {0x05, "ILLIGAL REQUEST"},
    {0x06, "UNIT ATTENTION"},
    {0x07, "DATA PROTECT"},
    {0x08, "BLANK CHECK"},
    {0x09, "unknown code"},
    {0x0A, "COPY ABORTED"},
    {0x0B, "ABORTED COMMAND"},
    {0x0C, "EQUAL"},
    {0x0D, "VOLUME OVERFLOW"},
    {0x0E, "MISSCOMPARE"},
    {0x0F, "unknown code"},
    {0x00, "NO SENSE"},
});

// The drive's own error codes, as its diagnostics report them.
constexpr auto kDriveErrors = std::to_array<CodeText>({
    {0xA0, "DSP ROM ERROR"},
    {0xA1, "DSP RAM ERROR"},
    {0xA2, "DSP TIMER ERROR"},
    {0xA3, "DSP A/D CONVERTER ERROR"},
    {0xA4, "DSP A/D CONVERTER CH-0 ERROR"},
    {0xA5, "DSP A/D CONVERTER CH-1 ERROR"},
    {0xA6, "DSP A/D CONVERTER CH-2 ERROR"},
    {0xA7, "DSP A/D CONVERTER CH-3 ERROR"},
    {0xA8, "DSP A/D CONVERTER CH-4 ERROR"},
    {0xB0, "TRACK OFF ERROR"},
    {0xB1, "LASER ERROR"},
    {0xC0, "FOCUS SUB SIGNAL ABNORMAL"},
    {0xC1, "FOCUS ADD SIGNAL UPPER ERROR"},
    {0xC2, "FOCUS ADD SIGNAL LOWER ERROR"},
    {0xC3, "FOCUS CAPTURE MISS"},
    {0xC4, "FOCUS OFF ERROR"},
    {0xC5, "TRACKING SUB SIGNAL ABNORMAL"},
    {0xC6, "PUSH-PULL PULSE ERROR"},
    {0xC7, "TRACK CAPTURE MISS"},
    {0xC8, "GALVANO-MIRROR DRIVER ERROR"},
    {0xC9, "LINER MOTOR DRIVER ERROR"},
    {0xCA, "HOME POSITION LED ERROR"},
    {0xCB, "HOME POSITION SERVO ERROR"},
    {0xD0, "DRIVE NOT READY"},
    {0xD1, "DRIVE NOT IDLE"},
    {0xD2, "DI COMMAND REJECT"},
    {0xE0, "SEEK TIME OUT ERROR"},
    {0xE1, "TRACK ON ERROR"},
    {0xF0, "LOADING ERROR"},
    {0xF1, "SPINDLE MOTOR ERROR"},
    {0x00, "NO ERROR"},
});

// A selection of the standard codes and the drive's own diagnostic rows (ASC 0x40, 0x80). The
// odd spellings of some standard rows are the texts users have always been shown; keep them.
constexpr auto kAspiSenseCodes = std::to_array<SenseCodeText>({
    {0x00, 0x00, "NO ADDITIONAL SENSE INFORMATION"},
    {0x04, 0x01, "LOGICAL UNIT IS IN PROCESS OF BECOMING READY"},
    {0x04, 0x02, "LOGICAL UNIT NOT READY,INITIALIZING COMMAND REQUIRED"},
    {0x08, 0x00, "LOGICAL UNIT COMMUNICATION FALURE"},
    {0x09, 0x00, "TRACK FOLLOWING ERROR"},
    {0x09, 0x01, "TRACKING SERVO FAILURE"},
    {0x09, 0x02, "FOCUS SERVO FAILURE"},
    {0x09, 0x03, "SPINDLE SERVO FAILURE"},
    {0x0C, 0x01, "WRITE ERROR - RECOVERED WITH AUTO REALLOCATION"},
    {0x0C, 0x02, "WRITE ERROR - AUTO REALLOCATION FAILED"},
    {0x10, 0x00, "ID CRC OR ECC ERROR"},
    {0x11, 0x02, "ERROR TOO LONG TO CORRECT"},
    {0x15, 0x00, "RANDOM POSITIONING ERROR"},
    {0x18, 0x01, "RECOVERED DATA WITH ERROR CORR. & RETRIES APPLIED"},
    {0x19, 0x02, "DEFECT LIST ERROR IN PRIMARY LIST"},
    {0x19, 0x03, "DEFECT LIST ERROR IN GROWN LIST"},
    {0x1A, 0x00, "PARAMETER LIST LENGTH ERROR"},
    {0x1B, 0x00, "SYNCHRONOUS DATA TRANSFER ERROR"},
    {0x1C, 0x02, "GROWN DEFECT LIST NOT FOUND"},
    {0x1D, 0x00, "MISCOMPARE DURING VERIFY OPERATION"},
    {0x20, 0x00, "INVALID COMMAND OPERATION CODE"},
    {0x21, 0x00, "LOGICAL BLOCK ADDRESS OUT OF RANGE"},
    {0x24, 0x00, "INVALID FIELD IN CDB"},
    {0x25, 0x00, "LOGICAL UNIT NOT SUPPORTED"},
    {0x26, 0x00, "INVALID FIELD INPARAMETER LIST"},
    {0x26, 0x01, "PARAMETER NOT SUPPORTED"},
    {0x26, 0x02, "PARAMETER VALUE INVALID"},
    {0x27, 0x00, "WRITE PROTECTED"},
    {0x28, 0x00, "NOT READY TO READY TRANSITION(MEDIUM MAY HAVE CHANGED)"},
    {0x29, 0x00, "POWER ON, RESET OR BUS DEVICE RESET OCCURED"},
    {0x2A, 0x00, "PARAMETERS CHANGED"},
    {0x2A, 0x01, "MODE PARAMETERS CHANGED"},
    {0x2B, 0x00, "COPY CANNOT EXECUTE SINSE HOST CANNOT DISCONNECT"},
    {0x2F, 0x00, "COMMANDS CLEARED BY ANOTHER INITIATOR"},
    {0x30, 0x00, "INCOMPATIBLE MEDIUM INSTALLED"},
    {0x30, 0x01, "CANNOT READ MEDIUM - UNKNOWN FORMAT"},
    {0x30, 0x02, "CANNOT READ MEDIUM - INCOMPATIBLE FORMAT"},
    {0x31, 0x00, "MEDIUM FORMAT CORRUPTED"},
    {0x31, 0x01, "FORMAT COMMAND FAILED"},
    {0x32, 0x00, "NO DEFECT SPARE LOCATION AVAILABLE"},
    {0x32, 0x01, "DEFECT LIST UPDATE FAILURE"},
    {0x39, 0x00, "SAVING PARAMETERS NOT SUPPORTED"},
    {0x3A, 0x00, "MEDIUM NOT PRESENT"},
    {0x3D, 0x00, "INVALID BITS IN IDENTIFY MESSAGE"},
    {0x3F, 0x02, "CHANGED OPERATING DEFINITION"},
    {0x3F, 0x03, "INQUIRY DATA HAS CHANGED"},
    {0x40, 0x80, "DRAM ERROR"},
    {0x40, 0x81, "ROM ERROR"},
    {0x40, 0x82, "ROM CHECK SUM ERROR"},
    {0x40, 0x83, "TIMER ERROR"},
    {0x40, 0x84, "LINEAR MOTOR ERROR"},
    {0x40, 0x85, "SPINDLE MOTOR ERROR"},
    {0x40, 0x87, "DRIVE INTERFACE ERROR"},
    {0x40, 0x88, "ROM UPDATE FAILURE"},
    {0x40, 0xFF, "DIAGNOSTIC FAILURE ON COMPONENT"},
    {0x43, 0x00, "MESSAGE ERROR"},
    {0x44, 0x00, "INTERNAL TARGET FAILURE"},
    {0x45, 0x00, "SELECT OR RESELECT FAILURE"},
    {0x47, 0x00, "SCSI PARITY ERROR"},
    {0x48, 0x00, "INITIATOR DETECTED ERROR MESSAGE RECEIVED"},
    {0x49, 0x00, "INVALID MESSAGE ERROR"},
    {0x4E, 0x00, "OVERLAPPED COMMANDS ATTEMPTED"},
    {0x53, 0x00, "MEDIA LOAD OR EJECT FAILED"},
    {0x53, 0x02, "MEDIUM REMOVAL PRESENTED"},
    {0x80, 0xFF, "DRIVE HARDWARE ERROR"},
    {kSenseTableEnd, kAnyAscq, "UNKNOWN ERROR CODE"},
});

// The standard codes an optical drive reports, with the drive's own rows (0C/80, 40/8x, 80/xx).
// 53/02 appears twice; the second row can never be reached and is harmless.
constexpr auto kPassThroughSenseCodes = std::to_array<SenseCodeText>({
    {0x00, 0x00, "NO ADDITIONAL SENSE INFORMATION"},
    {0x00, 0x06, "I/O PROCESS TERMINATED"},
    {0x00, 0x11, "AUDIO PLAY OPERATION IN PROGRESS"},
    {0x00, 0x12, "AUDIO PLAY OPERATION PAUSED"},
    {0x00, 0x13, "AUDIO PLAY OPERATION SUCCESSFULLY COMPLETED"},
    {0x00, 0x14, "AUDIO PLAY OPERATION STOPPED DUE TO ERROR"},
    {0x00, 0x15, "NO CURRENT AUDIO STATUS TO RETURN"},
    {0x00, 0x16, "OPERATION IN PROGRESS"},
    {0x00, 0x17, "CLEANING REQUESTED"},
    {0x01, 0x00, "NO INDEX/SECTOR SIGNAL"},
    {0x02, 0x00, "NO SEEK COMPLETE"},
    {0x03, 0x00, "PERIPHERAL DEVICE WRITE FAULT"},
    {0x04, 0x00, "LOGICAL UNIT NOT READY, CAUSE NOT REPORTABLE"},
    {0x04, 0x01, "LOGICAL UNIT IS IN PROCESS OF BECOMING READY"},
    {0x04, 0x02, "LOGICAL UNIT NOT READY, INITIALIZING COMMAND REQUIRED"},
    {0x04, 0x03, "LOGICAL UNIT NOT READY, MANUAL INTERVENTION REQUIRED"},
    {0x04, 0x04, "LOGICAL UNIT NOT READY, FORMAT IN PROGRESS"},
    {0x04, 0x07, "LOGICAL UNIT NOT READY, OPERATION IN PROGRESS"},
    {0x04, 0x08, "LOGICAL UNIT NOT READY, LONG WRITE IN PROGRESS"},
    {0x05, 0x00, "LOGICAL UNIT DOES NOT RESPOND TO SELECTION"},
    {0x06, 0x00, "NO REFERENCE POSITION FOUND"},
    {0x08, 0x00, "LOGICAL UNIT COMMUNICATION FAILURE"},
    {0x08, 0x01, "LOGICAL UNIT COMMUNICATION TIME-OUT"},
    {0x08, 0x02, "LOGICAL UNIT COMMUNICATION PARITY ERROR"},
    {0x08, 0x03, "LOGICAL UNIT COMMUNICATION CRC ERROR (ULTRA-DMA/32)"},
    {0x09, 0x00, "TRACK FOLLOWING ERROR"},
    {0x09, 0x01, "TRACKING SERVO FAILURE"},
    {0x09, 0x02, "FOCUS SERVO FAILURE"},
    {0x09, 0x03, "SPINDLE SERVO FAILURE"},
    {0x0A, 0x00, "ERROR LOG OVERFLOW"},
    {0x0B, 0x00, "WARNING"},
    {0x0B, 0x01, "WARNING - SPECIFIED TEMPERATURE EXCEEDED"},
    {0x0B, 0x02, "WARNING - ENCLOSURE DEGRADED"},
    {0x0C, 0x00, "WRITE ERROR"},
    {0x0C, 0x02, "WRITE ERROR - AUTO REALLOCATION FAILED"},
    {0x0C, 0x03, "WRITE ERROR - RECOMMEND REASSIGNMENT"},
    {0x0C, 0x07, "WRITE ERROR - RECOVERY NEEDED"},
    {0x0C, 0x08, "WRITE ERROR - RECOVERY FAILED"},
    {0x0C, 0x09, "WRITE ERROR - LOSS OF STREAMING"},
    {0x0C, 0x0A, "WRITE ERROR - PADDING BLOCKS ADDED"},
    {0x0C, 0x80, "WRITE ERROR - Read Modify Write Failed"},
    {0x0D, 0x00, "Reserved"},
    {0x0E, 0x00, "Reserved"},
    {0x0F, 0x00, "Reserved"},
    {0x10, 0x00, "ID CRC OR ECC ERROR"},
    {0x11, 0x00, "UNRECOVERED READ ERROR"},
    {0x11, 0x01, "READ RETRIES EXHAUSTED"},
    {0x11, 0x02, "ERROR TOO LONG TO CORRECT"},
    {0x11, 0x05, "L-EC UNCORRECTABLE ERROR"},
    {0x11, 0x06, "CIRC UNRECOVERED ERROR"},
    {0x11, 0x0F, "ERROR READING UPC/EAN NUMBER"},
    {0x11, 0x10, "ERROR READING ISRC NUMBER"},
    {0x11, 0x11, "READ ERROR - LOSS OF STREAMING"},
    {0x12, 0x00, "ADDRESS MARK NOT FOUND FOR ID FIELD"},
    {0x13, 0x00, "ADDRESS MARK NOT FOUND FOR DATA FIELD"},
    {0x14, 0x00, "RECORDED ENTITY NOT FOUND"},
    {0x14, 0x01, "RECORD NOT FOUND"},
    {0x14, 0x05, "RECORD NOT FOUND - RECOMMEND REASSIGNMENT"},
    {0x14, 0x06, "RECORD NOT FOUND - DATA AUTO-REALLOCATED"},
    {0x15, 0x00, "RANDOM POSITIONING ERROR"},
    {0x15, 0x01, "MECHANICAL POSITIONING ERROR"},
    {0x15, 0x02, "POSITIONING ERROR DETECTED BY READ OF MEDIUM"},
    {0x16, 0x00, "DATA SYNCHRONIZATION MARK ERROR"},
    {0x16, 0x01, "DATA SYNC ERROR - DATA REWRITTEN"},
    {0x16, 0x02, "DATA SYNC ERROR - RECOMMEND REWRITE"},
    {0x16, 0x03, "DATA SYNC ERROR - DATA AUTO-REALLOCATED"},
    {0x16, 0x04, "DATA SYNC ERROR - RECOMMEND REASSIGNMENT"},
    {0x17, 0x00, "RECOVERED DATA WITH NO ERROR CORRECTION APPLIED"},
    {0x17, 0x01, "RECOVERED DATA WITH RETRIES"},
    {0x17, 0x02, "RECOVERED DATA WITH POSITIVE HEAD OFFSET"},
    {0x17, 0x03, "RECOVERED DATA WITH NEGATIVE HEAD OFFSET"},
    {0x17, 0x04, "RECOVERED DATA WITH RETRIES AND/OR CIRC APPLIED"},
    {0x17, 0x05, "RECOVERED DATA USING PREVIOUS SECTOR ID"},
    {0x17, 0x06, "RECOVERED DATA WITHOUT ECC - DATA AUTO-REALLOCATED"},
    {0x17, 0x07, "RECOVERED DATA WITHOUT ECC - RECOMMEND REASSIGNMENT"},
    {0x17, 0x08, "RECOVERED DATA WITHOUT ECC - RECOMMEND REWRITE"},
    {0x17, 0x09, "RECOVERED DATA WITHOUT ECC - DATA REWRITTEN"},
    {0x18, 0x00, "RECOVERED DATA WITH ERROR CORRECTION APPLIED"},
    {0x18, 0x01, "RECOVERED DATA WITH ERROR CORR. & RETRIES APPLIED"},
    {0x18, 0x02, "RECOVERED DATA - DATA AUTO-REALLOCATED"},
    {0x18, 0x03, "RECOVERED DATA WITH CIRC"},
    {0x18, 0x04, "RECOVERED DATA WITH L-EC"},
    {0x18, 0x05, "RECOVERED DATA - RECOMMEND REASSIGNMENT"},
    {0x18, 0x06, "RECOVERED DATA - RECOMMEND REWRITE"},
    {0x18, 0x07, "RECOVERED DATA WITH ECC - DATA REWRITTEN"},
    {0x19, 0x00, "DEFECT LIST ERROR"},
    {0x19, 0x01, "DEFECT LIST NOT AVAILABLE"},
    {0x19, 0x02, "DEFECT LIST ERROR IN PRIMARY LIST"},
    {0x19, 0x03, "DEFECT LIST ERROR IN GROWN LIST"},
    {0x1A, 0x00, "PARAMETER LIST LENGTH ERROR"},
    {0x1B, 0x00, "SYNCHRONOUS DATA TRANSFER ERROR"},
    {0x1C, 0x00, "DEFECT LIST NOT FOUND"},
    {0x1C, 0x01, "PRIMARY DEFECT LIST NOT FOUND"},
    {0x1C, 0x02, "GROWN DEFECT LIST NOT FOUND"},
    {0x1D, 0x00, "MISCOMPARE DURING VERIFY OPERATION"},
    {0x1E, 0x00, "RECOVERED ID WITH ECC CORRECTION"},
    {0x20, 0x00, "INVALID COMMAND OPERATION CODE"},
    {0x21, 0x00, "LOGICAL BLOCK ADDRESS OUT OF RANGE"},
    {0x21, 0x02, "INVALID ADDRESS FOR WRITE"},
    {0x23, 0x00, "Reserved"},
    {0x24, 0x00, "INVALID FIELD IN CDB"},
    {0x25, 0x00, "LOGICAL UNIT NOT SUPPORTED"},
    {0x26, 0x00, "INVALID FIELD IN PARAMETER LIST"},
    {0x26, 0x01, "PARAMETER NOT SUPPORTED"},
    {0x26, 0x02, "PARAMETER VALUE INVALID"},
    {0x26, 0x03, "THRESHOLD PARAMETERS NOT SUPPORTED"},
    {0x26, 0x04, "INVALID RELEASE OF PERSISTENT RESERVATION"},
    {0x27, 0x00, "WRITE PROTECTED"},
    {0x27, 0x01, "HARDWARE WRITE PROTECTED"},
    {0x27, 0x02, "LOGICAL UNIT SOFTWARE WRITE PROTECTED"},
    {0x27, 0x03, "ASSOCIATED WRITE PROTECT"},
    {0x27, 0x04, "PERSISTENT WRITE PROTECT"},
    {0x27, 0x05, "PERMANENT WRITE PROTECT"},
    {0x28, 0x00, "NOT READY TO READY CHANGE, MEDIUM MAY HAVE CHANGED"},
    {0x29, 0x00, "POWER ON, RESET, OR BUS DEVICE RESET OCCURRED"},
    {0x29, 0x01, "POWER ON OCCURRED"},
    {0x29, 0x02, "SCSI BUS RESET OCCURRED"},
    {0x29, 0x03, "BUS DEVICE RESET FUNCTION OCCURRED"},
    {0x29, 0x04, "DEVICE INTERNAL RESET"},
    {0x2A, 0x00, "PARAMETERS CHANGED"},
    {0x2A, 0x01, "MODE PARAMETERS CHANGED"},
    {0x2A, 0x02, "LOG PARAMETERS CHANGED"},
    {0x2A, 0x03, "RESERVATIONS PREEMPTED"},
    {0x2B, 0x00, "COPY CANNOT EXECUTE SINCE HOST CANNOT DISCONNECT"},
    {0x2C, 0x00, "COMMAND SEQUENCE ERROR"},
    {0x2C, 0x03, "CURRENT PROGRAM AREA IS NOT EMPTY"},
    {0x2C, 0x04, "CURRENT PROGRAM AREA IS EMPTY"},
    {0x2C, 0x05, "ILLEGAL POWER CONDITION REQUEST"},
    {0x2E, 0x00, "INSUFFICIENT TIME FOR OPERATION"},
    {0x2F, 0x00, "COMMANDS CLEARED BY ANOTHER INITIATOR"},
    {0x30, 0x00, "INCOMPATIBLE MEDIUM INSTALLED"},
    {0x30, 0x01, "CANNOT READ MEDIUM - UNKNOWN FORMAT"},
    {0x30, 0x02, "CANNOT READ MEDIUM - INCOMPATIBLE FORMAT"},
    {0x30, 0x03, "CLEANING CARTRIDGE INSTALLED"},
    {0x30, 0x04, "CANNOT WRITE MEDIUM - UNKNOWN FORMAT"},
    {0x30, 0x05, "CANNOT WRITE MEDIUM - INCOMPATIBLE FORMAT"},
    {0x30, 0x06, "CANNOT FORMAT MEDIUM - INCOMPATIBLE MEDIUM"},
    {0x30, 0x08, "CANNOT WRITE - APPLICATION CODE MISMATCH"},
    {0x30, 0x09, "CURRENT SESSION NOT FIXATED FOR APPEND"},
    {0x31, 0x00, "MEDIUM FORMAT CORRUPTED"},
    {0x31, 0x01, "FORMAT COMMAND FAILED"},
    {0x31, 0x02, "ZONED FORMATTING FAILED DUE TO SPARE LINKING"},
    {0x32, 0x00, "NO DEFECT SPARE LOCATION AVAILABLE"},
    {0x32, 0x01, "DEFECT LIST UPDATE FAILURE"},
    {0x34, 0x00, "ENCLOSURE FAILURE"},
    {0x35, 0x00, "ENCLOSURE SERVICES FAILURE"},
    {0x35, 0x01, "UNSUPPORTED ENCLOSURE FUNCTION"},
    {0x35, 0x02, "ENCLOSURE SERVICES UNAVAILABLE"},
    {0x35, 0x03, "ENCLOSURE SERVICES TRANSFER FAILURE"},
    {0x35, 0x04, "ENCLOSURE SERVICES TRANSFER REFUSED"},
    {0x38, 0x00, "Reserved Sequential Write"},
    {0x39, 0x00, "SAVING PARAMETERS NOT SUPPORTED"},
    {0x3A, 0x00, "MEDIUM NOT PRESENT"},
    {0x3A, 0x01, "MEDIUM NOT PRESENT - TRAY CLOSED"},
    {0x3A, 0x02, "MEDIUM NOT PRESENT - TRAY OPEN"},
    {0x3B, 0x0F, "END OF MEDIUM REACHED"},
    {0x3B, 0x11, "MEDIUM MAGAZINE NOT ACCESSIBLE"},
    {0x3B, 0x12, "MEDIUM MAGAZINE REMOVED"},
    {0x3B, 0x13, "MEDIUM MAGAZINE INSERTED"},
    {0x3B, 0x14, "MEDIUM MAGAZINE LOCKED"},
    {0x3B, 0x15, "MEDIUM MAGAZINE UNLOCKED"},
    {0x3B, 0x16, "MECHANICAL POSITIONING OR CHANGER ERROR"},
    {0x3D, 0x00, "INVALID BITS IN IDENTIFY MESSAGE"},
    {0x3E, 0x00, "LOGICAL UNIT HAS NOT SELF-CONFIGURED YET"},
    {0x3E, 0x01, "LOGICAL UNIT FAILURE"},
    {0x3E, 0x02, "TIMEOUT ON LOGICAL UNIT"},
    {0x3F, 0x00, "TARGET OPERATING CONDITIONS HAVE CHANGED"},
    {0x3F, 0x01, "MICROCODE HAS BEEN CHANGED"},
    {0x3F, 0x02, "CHANGED OPERATING DEFINITION"},
    {0x3F, 0x03, "INQUIRY DATA HAS CHANGED"},
    {0x40, 0x80, "DIAGNOSTIC FAILURE ON COMPONENT - Data Buffer"},
    {0x40, 0x81, "DIAGNOSTIC FAILURE ON COMPONENT - ECC Buffer"},
    {0x40, 0x82, "DIAGNOSTIC FAILURE ON COMPONENT - Internal DMA"},
    {0x40, 0x83, "DIAGNOSTIC FAILURE ON COMPONENT - Flash ROM 1"},
    {0x40, 0x84, "DIAGNOSTIC FAILURE ON COMPONENT - Flash ROM 2"},
    {0x40, 0x85, "DIAGNOSTIC FAILURE ON COMPONENT - Self Tunings"},
    {0x43, 0x00, "MESSAGE ERROR"},
    {0x44, 0x00, "INTERNAL TARGET FAILURE"},
    {0x45, 0x00, "SELECT OR RESELECT FAILURE"},
    {0x46, 0x00, "UNSUCCESSFUL SOFT RESET"},
    {0x47, 0x00, "SCSI PARITY ERROR"},
    {0x48, 0x00, "INITIATOR DETECTED ERROR MESSAGE RECEIVED"},
    {0x49, 0x00, "INVALID MESSAGE ERROR"},
    {0x4A, 0x00, "COMMAND PHASE ERROR"},
    {0x4B, 0x00, "DATA PHASE ERROR"},
    {0x4C, 0x00, "LOGICAL UNIT FAILED SELF-CONFIGURATION"},
    {0x4D, 0x00, "TAGGED OVERLAPPED COMMANDS"},
    {0x4E, 0x00, "OVERLAPPED COMMANDS ATTEMPTED"},
    {0x51, 0x00, "ERASE FAILURE"},
    {0x53, 0x00, "MEDIA LOAD OR EJECT FAILED"},
    {0x53, 0x02, "MEDIUM REMOVAL PREVENTED"},
    {0x53, 0x02, "MEDIUM REMOVAL PREVENTED"},
    {0x55, 0x00, "SYSTEM RESOURCE FAILURE"},
    {0x57, 0x00, "UNABLE TO RECOVER TABLE-OF-CONTENTS"},
    {0x5A, 0x00, "OPERATOR REQUEST OR STATE CHANGE INPUT"},
    {0x5A, 0x01, "OPERATOR MEDIUM REMOVAL REQUEST"},
    {0x5A, 0x02, "OPERATOR SELECTED WRITE PROTECT"},
    {0x5A, 0x03, "OPERATOR SELECTED WRITE PERMIT"},
    {0x5B, 0x00, "LOG EXCEPTION"},
    {0x5B, 0x01, "THRESHOLD CONDITION MET"},
    {0x5B, 0x02, "LOG COUNTER AT MAXIMUM"},
    {0x5B, 0x03, "LOG LIST CODES EXHAUSTED"},
    {0x5D, 0x00, "FAILURE PREDICTION THRESHOLD EXCEEDED"},
    {0x5D, 0x01, "MEDIA FAILURE PREDICTION THRESHOLD EXCEEDED"},
    {0x5D, 0x03, "SPARE AREA EXHAUSTION PREDICTION THRESHOLD EXCEEDED"},
    {0x5D, 0xFF, "FAILURE PREDICTION THRESHOLD EXCEEDED (FALSE)"},
    {0x5E, 0x00, "LOW POWER CONDITION ON"},
    {0x5E, 0x01, "IDLE CONDITION ACTIVATED BY TIMER"},
    {0x5E, 0x02, "STANDBY CONDITION ACTIVATED BY TIMER"},
    {0x5E, 0x03, "IDLE CONDITION ACTIVATED BY COMMAND"},
    {0x5E, 0x04, "STANDBY CONDITION ACTIVATED BY COMMAND"},
    {0x63, 0x00, "END OF USER AREA ENCOUNTERED ON THIS TRACK"},
    {0x63, 0x01, "PACKET DOES NOT FIT IN AVAILABLE SPACE"},
    {0x64, 0x00, "ILLEGAL MODE FOR THIS TRACK"},
    {0x64, 0x01, "INVALID PACKET SIZE"},
    {0x65, 0x00, "VOLTAGE FAULT"},
    {0x6F, 0x00, "COPY PROTECTION KEY EXCHANGE FAILURE - AUTHENTICATION FAILURE"},
    {0x6F, 0x01, "COPY PROTECTION KEY EXCHANGE FAILURE - KEY NOT PRESENT"},
    {0x6F, 0x02, "COPY PROTECTION KEY EXCHANGE FAILURE - KEY NOT ESTABLISHED"},
    {0x6F, 0x03, "READ OF SCRAMBLED SECTOR WITHOUT AUTHENTICATION"},
    {0x6F, 0x04, "MEDIA REGION CODE IS MISMATCHED TO LOGICAL UNIT REGION"},
    {0x6F, 0x05, "DRIVE REGION MUST BE PERMANENT/REGION RESET COUNT ERROR"},
    {0x72, 0x00, "SESSION FIXATION ERROR"},
    {0x72, 0x01, "SESSION FIXATION ERROR WRITING LEAD-IN"},
    {0x72, 0x02, "SESSION FIXATION ERROR WRITING LEAD-OUT"},
    {0x72, 0x03, "SESSION FIXATION ERROR - INCOMPLETE TRACK IN SESSION"},
    {0x72, 0x04, "EMPTY OR PARTIALLY WRITTEN RESERVED TRACK"},
    {0x72, 0x05, "NO MORE TRACK RESERVATIONS ALLOWED"},
    {0x73, 0x00, "CD CONTROL ERROR"},
    {0x73, 0x01, "POWER CALIBRATION AREA ALMOST FULL"},
    {0x73, 0x02, "POWER CALIBRATION AREA IS FULL"},
    {0x73, 0x03, "POWER CALIBRATION AREA ERROR"},
    {0x73, 0x04, "PROGRAM MEMORY AREA UPDATE FAILURE"},
    {0x73, 0x05, "PROGRAM MEMORY AREA IS FULL"},
    {0x73, 0x06, "PROGRAM MEMORY AREA/RMA IS (almost) FULL"},
    {0x80, 0xFF, "DRIVE HARDWARE ERROR"},
    {kSenseTableEnd, kAnyAscq, "UNKNOWN ERROR CODE"},
});

static_assert(kCompletionCodes.size() == 9);
static_assert(kHostStatuses.size() == 5);
static_assert(kAspiTargetStatuses.size() == 4);
static_assert(kPassThroughTargetStatuses.size() == 9);
static_assert(kSenseKeys.size() == 16);
static_assert(kDriveErrors.size() == 31);
static_assert(kAspiSenseCodes.size() == 66);
static_assert(kPassThroughSenseCodes.size() == 237);

// The lookups stop at the terminator, so a table without one would be read past its end.
template <std::size_t N>
constexpr bool EndsWithTerminator(const std::array<CodeText, N>& table) {
  return table.back().code == 0 && std::none_of(table.begin(), table.end() - 1,
                                                [](const CodeText& row) { return row.code == 0; });
}

template <std::size_t N>
constexpr bool EndsWithTerminator(const std::array<SenseCodeText, N>& table) {
  return table.back().asc == kSenseTableEnd && table.back().ascq == kAnyAscq &&
         std::none_of(table.begin(), table.end() - 1,
                      [](const SenseCodeText& row) { return row.asc == kSenseTableEnd; });
}

template <typename Row, std::size_t N>
constexpr bool TextsFitFields(const std::array<Row, N>& table) {
  return std::all_of(table.begin(), table.end(),
                     [](const Row& row) { return row.text.size() <= kMaxStatusTextLength; });
}

static_assert(EndsWithTerminator(kCompletionCodes) && TextsFitFields(kCompletionCodes));
static_assert(EndsWithTerminator(kHostStatuses) && TextsFitFields(kHostStatuses));
static_assert(EndsWithTerminator(kAspiTargetStatuses) && TextsFitFields(kAspiTargetStatuses));
static_assert(EndsWithTerminator(kPassThroughTargetStatuses) &&
              TextsFitFields(kPassThroughTargetStatuses));
static_assert(EndsWithTerminator(kSenseKeys) && TextsFitFields(kSenseKeys));
static_assert(EndsWithTerminator(kDriveErrors) && TextsFitFields(kDriveErrors));
static_assert(EndsWithTerminator(kAspiSenseCodes) && TextsFitFields(kAspiSenseCodes));
static_assert(EndsWithTerminator(kPassThroughSenseCodes) && TextsFitFields(kPassThroughSenseCodes));

// The row of a code, not counting the terminator; null when there is none.
const CodeText* FindCode(std::span<const CodeText> table, std::uint8_t code) {
  const auto rows = table.first(table.size() - 1);
  const auto found =
      std::find_if(rows.begin(), rows.end(), [&](const CodeText& row) { return row.code == code; });
  return found == rows.end() ? nullptr : &*found;
}

std::string CodeTextOrFallback(std::span<const CodeText> table, std::uint8_t code) {
  const CodeText* row = FindCode(table, code);
  return std::string(row != nullptr ? row->text : table.back().text);
}

}  // namespace

constexpr StatusTextSet kAspiTexts{kCompletionCodes, kHostStatuses, kAspiTargetStatuses,
                                   kSenseKeys,       kDriveErrors,  kAspiSenseCodes};
constexpr StatusTextSet kPassThroughTexts{
    kCompletionCodes, kHostStatuses, kPassThroughTargetStatuses,
    kSenseKeys,       kDriveErrors,  kPassThroughSenseCodes};

std::string CompletionCodeText(const StatusTextSet& set, std::uint8_t code) {
  return CodeTextOrFallback(set.completion_codes, code);
}

std::string HostStatusText(const StatusTextSet& set, std::uint8_t status) {
  const CodeText* row = FindCode(set.host_statuses, status);
  return row != nullptr ? std::string(row->text) : FormatText("Unknown Ha status:%02X", status);
}

std::string TargetStatusText(const StatusTextSet& set, std::uint8_t status) {
  const CodeText* row = FindCode(set.target_statuses, status);
  return row != nullptr ? std::string(row->text) : FormatText("Unknown Target status:%02X", status);
}

std::string SenseKeyText(const StatusTextSet& set, std::uint8_t sense_key) {
  return CodeTextOrFallback(set.sense_keys, sense_key);
}

std::string DriveErrorCodeText(const StatusTextSet& set, std::uint8_t code) {
  return CodeTextOrFallback(set.drive_errors, code);
}

std::string AscAscqText(const StatusTextSet& set, std::uint8_t asc, std::uint8_t ascq) {
  for (const SenseCodeText& row : set.sense_codes) {
    if (row.asc == kSenseTableEnd) {
      return std::string(row.text);
    }
    if (row.asc != asc) {
      continue;
    }
    if (row.ascq == ascq) {
      return std::string(row.text);
    }
    if (row.ascq == kAnyAscq) {
      return FormatText("%s(%d)", std::string(row.text).c_str(), ascq);
    }
  }
  // Only a set whose table lacks its terminator gets here; the static checks above rule it out.
  return {};
}

}  // namespace fwu
