// "Data\scores.dat" (unscrambled): any bytes are read into score tables or refused; tables that
// were read are written and read back the same.
#include "FuzzFiles.h"

#include "core/CPFileWriter.h"
#include "interface/CampaignFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte chooses how many tables there are (0..15) and how many records each keeps.
    const size_t tableCount = data[0] & 15;
    const size_t maxRecords = 1 + (data[0] >> 4);
    std::vector<std::vector<ScoreRecord>> tables;
    CampaignFileError error;
    if (!ReadScoreTables(data + 1, size - 1, tableCount, maxRecords, tables, error)) {
        Fuzz::Check(!error.Reason.empty() && tables.empty(), "a refused file says why and fills nothing");
        return 0;
    }
    Fuzz::Check(tables.size() == tableCount, "every table is there");
    CPFileWriter writer("unused", true);
    WriteScoreTables(tables, writer);
    std::vector<std::vector<ScoreRecord>> again;
    const std::vector<uint8_t>& bytes = writer.GetBuffer();
    Fuzz::Check(ReadScoreTables(bytes.data(), bytes.size(), tableCount, maxRecords, again, error),
                "written tables read back");
    Fuzz::Check(again == tables, "written tables read back the same");
    return 0;
}
