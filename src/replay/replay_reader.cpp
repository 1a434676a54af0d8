#include "replay/replay_reader.h"

#include <stdexcept>

#include "text/diagnostics.h"

namespace {

const ChunkLabel labelHeader("DHPR");
const ChunkLabel labelWeekend("FNKW");
const ChunkLabel labelDrivers("SLRD");
const ChunkLabel labelDriver("TNRD");
const ChunkLabel labelSession("BTPL");
const ChunkLabel labelCar("ORPL");

std::uint64_t readDrivers(const Chunk& root, std::uint64_t offset, ReplayRecords& records) {
    std::vector<Chunk> items;
    // The whole list is walked and checked before any item's size.
    const std::uint64_t total = subChunkList(root, labelDrivers, labelDriver, items, offset);
    records.drivers.reserve(items.size());
    for (const Chunk& item : items) {
        // Larger items are accepted; the record is their first bytes.
        if (item.dataSize() < DriverRecord::size) throwRecordSize(item, DriverRecord::size);
        const ByteReader data = chunkBytes(item);
        records.drivers.emplace_back(ByteReader(data.bytes().first(DriverRecord::size)));
    }
    return total;
}

void readSessions(const Chunk& root, std::uint64_t offset, ReplayRecords& records, Diagnostics& diagnostics) {
    const ChunkFile& file = *root.file;
    std::uint32_t counter = records.header.firstSession();
    std::vector<Chunk> items;
    // The session chunks are followed by other data (often megabytes), which
    // is never looked at: the loop stops at the first other label.
    while (root.dataSize() - offset >= Chunk::headerSize &&
           file.chunkAt(root.dataOffset() + offset).label() == labelSession.text()) {
        ReplaySession session;
        session.index = counter++;
        items.clear();
        offset += subChunkList(root, labelSession, labelCar, items, offset);
        session.cars.reserve(items.size());
        for (const Chunk& item : items) {
            if (item.dataSize() < CarLapsRecord::Field::laps)
                throw std::runtime_error("Chunk " + printableLabel(item.label()) + " holds no car id");
            session.cars.emplace_back(chunkBytes(item));
        }
        records.sessions.push_back(std::move(session));
    }
    if (records.header.lastSession() + 1u != counter) diagnostics.warning("(rpylib:601) Inconsistent session data.");
}

} // namespace

ReplayRecords readReplay(const ReplayFile& file, Diagnostics& diagnostics) {
    ReplayRecords records;
    const Chunk& root = file.root();
    ByteReader bytes;
    std::uint64_t offset = 0;
    offset += chunkData(root, labelHeader, HeaderRecord::size, bytes, offset);
    records.header = HeaderRecord(bytes);
    offset += chunkData(root, labelWeekend, WeekendRecord::size, bytes, offset);
    records.weekend = WeekendRecord(bytes);
    offset += readDrivers(root, offset, records);
    readSessions(root, offset, records, diagnostics);
    return records;
}
