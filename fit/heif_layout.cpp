// The walk reads the top-level boxes through the reader and the meta box whole (it is small in
// any photo), then parses spans only: every box must lie inside its parent, and the nesting is
// fixed by the structure, so nothing here recurses.
#include "fit/heif_layout.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "fit/byte_cursor.h"
#include "fit/stream_sizes.h"

namespace wqt {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint64_t kMaxMetaBytes = 4u << 20;
constexpr std::size_t kMaxTopBoxes = 1024, kMaxItems = 1u << 14, kMaxProperties = 1u << 14;
constexpr std::size_t kMaxNalUnits = 1u << 16;

struct Box {
  std::string_view type;
  Bytes body;
};

// The next box of a parent's body; nothing at its end or when a size leaves the parent.
std::optional<Box> nextBox(Cursor& in) {
  if (in.done()) return std::nullopt;
  const std::size_t start = in.pos;
  std::uint64_t size = in.take(4);
  const Bytes type = in.bytes.subspan(in.pos, std::min<std::size_t>(4, in.rest().size()));
  in.take(4);
  if (size == 1) size = in.take(8);
  if (size == 0) size = in.bytes.size() - start;
  const std::size_t header = in.pos - start;
  if (!in.ok || size < header || size > in.bytes.size() - start) {
    in.ok = false;
    return std::nullopt;
  }
  in.pos = start + std::size_t(size);
  return Box{{reinterpret_cast<const char*>(type.data()), 4},
             in.bytes.subspan(start + header, std::size_t(size) - header)};
}

bool readAt(ByteReader& reader, std::uint64_t offset, std::span<std::uint8_t> out) {
  reader.seek(offset);
  std::size_t got = 0;
  while (got < out.size()) {
    const std::size_t n = reader.read(out.subspan(got));
    if (n == 0) return false;
    got += n;
  }
  return true;
}

struct Item {
  std::string_view type;
  std::uint64_t pixels = 0;  // the most any of its size-bearing properties says
  int nalLength = 4;         // bytes of each HEVC NAL unit's length in its data
};

// The largest picture the sequence parameter sets among an HEVC item's NAL units describe: the
// decoder takes one met in the data over the hvcC's. Every unit's header is read, up to `units`
// over the whole file; past that the item counts as too large to read.
std::uint64_t hevcDataPixels(ByteReader& reader, std::uint64_t at, std::uint64_t end, int nalLength,
                             std::size_t& units) {
  std::uint64_t most = 0;
  std::array<std::uint8_t, 512> sps{};
  while (end - at > std::uint64_t(nalLength) + 2) {
    if (units-- == 0) return std::numeric_limits<std::uint64_t>::max();
    std::array<std::uint8_t, 6> head{};
    if (!readAt(reader, at, std::span(head).first(std::size_t(nalLength) + 2))) return most;
    Cursor in{head};
    const std::uint64_t length = in.take(std::size_t(nalLength));
    at += std::uint64_t(nalLength);
    if (length > end - at) return most;
    if ((head[std::size_t(nalLength)] >> 1 & 0x3f) == 33) {
      const std::size_t n = std::size_t(std::min<std::uint64_t>(length, sps.size()));
      if (readAt(reader, at, std::span(sps).first(n)))
        most = std::max(most, hevcSpsPixels(std::span(sps).first(n)));
    }
    at += length;
  }
  return most;
}

struct Meta {
  std::optional<std::uint32_t> primary;
  std::map<std::uint32_t, Item> items;
  std::vector<std::uint64_t> propertyPixels;
  std::vector<int> propertyTurns;
  std::vector<int> propertyNalLength;  // 0 for all but hvcC
  std::vector<std::uint32_t> tiles;
  Bytes idat;
  bool sawIinf = false, sawIpco = false, sawIpma = false, sawIref = false, sawIloc = false;
  // Each item's first extent: in the file (method 0) or in idat (method 1).
  struct Place {
    int method;
    std::uint64_t offset, length;
  };
  std::map<std::uint32_t, Place> places;
};

bool readIinf(Bytes body, Meta& meta) {
  Cursor in{body};
  const std::uint64_t version = in.take(4) >> 24;
  const std::uint64_t count = in.take(version == 0 ? 2 : 4);
  if (!in.ok || count > kMaxItems) return false;
  while (auto box = nextBox(in)) {
    if (box->type != "infe") continue;
    Cursor e{box->body};
    const std::uint64_t v = e.take(4) >> 24;
    if (v < 2) continue;
    const auto id = std::uint32_t(e.take(v == 2 ? 2 : 4));
    e.take(2);
    const Bytes type = e.rest().first(std::min<std::size_t>(4, e.rest().size()));
    e.take(4);
    if (!e.ok || meta.items.size() >= kMaxItems) return false;
    if (!meta.items.emplace(id, Item{{reinterpret_cast<const char*>(type.data()), 4}}).second)
      return false;
  }
  return in.ok;
}

bool readIprp(Bytes body, Meta& meta, std::vector<std::pair<std::uint32_t, std::size_t>>& links) {
  Cursor in{body};
  while (auto box = nextBox(in)) {
    if (box->type == "ipco") {
      if (std::exchange(meta.sawIpco, true)) return false;
      Cursor p{box->body};
      while (auto property = nextBox(p)) {
        if (meta.propertyPixels.size() >= kMaxProperties) return false;
        std::uint64_t pixels = 0;
        int nalLength = 0;
        if (property->type == "ispe") {
          Cursor s{property->body};
          s.take(4);
          pixels = s.take(4) * s.take(4);
        } else if (property->type == "hvcC") {
          pixels = hevcConfigPixels(property->body);
          if (property->body.size() > 21) nalLength = (property->body[21] & 3) + 1;
        } else if (property->type == "av1C") {
          pixels = property->body.size() < 4 ? 0 : av1ObuPixels(property->body.subspan(4));
        }
        meta.propertyPixels.push_back(pixels);
        // Quarter turns anticlockwise, or -1 for a mirror or a crop.
        int turn = 0;
        if (property->type == "irot" && !property->body.empty()) turn = property->body[0] & 3;
        if (property->type == "imir" || property->type == "clap") turn = -1;
        meta.propertyTurns.push_back(turn);
        meta.propertyNalLength.push_back(nalLength);
      }
      if (!p.ok) return false;
    } else if (box->type == "ipma") {
      if (std::exchange(meta.sawIpma, true)) return false;
      Cursor a{box->body};
      const std::uint64_t head = a.take(4);
      const bool wideIds = head >> 24 >= 1, wideIndices = head & 1;
      const std::uint64_t count = a.take(4);
      if (count > kMaxItems) return false;
      for (std::uint64_t i = 0; i < count && a.ok; ++i) {
        const auto id = std::uint32_t(a.take(wideIds ? 4 : 2));
        const std::uint64_t n = a.take(1);
        for (std::uint64_t j = 0; j < n && a.ok; ++j) {
          const std::uint64_t entry = a.take(wideIndices ? 2 : 1);
          const std::uint64_t index = entry & (wideIndices ? 0x7fff : 0x7f);
          if (index != 0) links.emplace_back(id, std::size_t(index - 1));
          if (links.size() > kMaxItems * 16) return false;
        }
      }
      if (!a.ok) return false;
    }
  }
  return in.ok;
}

bool readIref(Bytes body, Meta& meta) {
  Cursor in{body};
  const bool wide = in.take(4) >> 24 >= 1;
  while (auto box = nextBox(in)) {
    Cursor r{box->body};
    const auto from = std::uint32_t(r.take(wide ? 4 : 2));
    const std::uint64_t count = r.take(2);
    if (box->type != "dimg" || !meta.primary || from != *meta.primary) continue;
    if (!meta.tiles.empty()) return false;
    for (std::uint64_t i = 0; i < count && r.ok; ++i)
      meta.tiles.push_back(std::uint32_t(r.take(wide ? 4 : 2)));
    if (!r.ok) return false;
  }
  return in.ok;
}

bool readIloc(Bytes body, Meta& meta) {
  Cursor in{body};
  const std::uint64_t version = in.take(4) >> 24;
  if (version > 2) return false;
  const std::uint64_t sizes = in.take(2);
  const std::size_t offsetSize = sizes >> 12, lengthSize = sizes >> 8 & 15,
                    baseSize = sizes >> 4 & 15, indexSize = version > 0 ? sizes & 15 : 0;
  const std::uint64_t count = in.take(version < 2 ? 2 : 4);
  if (count > kMaxItems) return false;
  for (std::uint64_t i = 0; i < count && in.ok; ++i) {
    const auto id = std::uint32_t(in.take(version < 2 ? 2 : 4));
    const int method = version > 0 ? int(in.take(2) & 15) : 0;
    in.take(2);
    const std::uint64_t base = in.take(baseSize);
    const std::uint64_t extents = in.take(2);
    for (std::uint64_t e = 0; e < extents && in.ok; ++e) {
      in.take(indexSize);
      const std::uint64_t offset = in.take(offsetSize), length = in.take(lengthSize);
      // What is read of an item (a grid's description, a stream's first header) is short:
      // its first extent holds it in any file seen.
      if (e == 0 && !meta.places.emplace(id, Meta::Place{method, base + offset, length}).second)
        return false;
    }
  }
  return in.ok;
}

// The output size a grid description gives.
std::uint64_t gridOutputPixels(Bytes grid) {
  Cursor in{grid};
  in.take(1);
  const bool wide = in.take(1) & 1;
  in.take(2);
  const std::uint64_t width = in.take(wide ? 4 : 2), height = in.take(wide ? 4 : 2);
  return in.ok ? width * height : 0;
}

}  // namespace

std::optional<HeifLayout> readHeifLayout(ByteReader& reader) {
  // The meta box among the top-level boxes.
  std::vector<std::uint8_t> metaBytes;
  std::uint64_t offset = 0;
  bool found = false;
  for (std::size_t n = 0; offset < reader.size(); ++n) {
    std::array<std::uint8_t, 16> header{};
    const std::uint64_t left = reader.size() - offset;
    if (left < 8) break;  // a few stray bytes at the end hold no box
    if (n >= kMaxTopBoxes ||
        !readAt(reader, offset, std::span(header).first(std::min<std::uint64_t>(16, left)))) {
      return std::nullopt;
    }
    Cursor in{std::span(header).first(std::min<std::uint64_t>(16, left))};
    std::uint64_t size = in.take(4);
    const std::string_view type(reinterpret_cast<const char*>(header.data()) + 4, 4);
    in.take(4);
    if (size == 1) size = in.take(8);
    if (size == 0) size = left;
    if (!in.ok || size < in.pos || size > left) return std::nullopt;
    if (type == "meta") {
      if (found || size - in.pos > kMaxMetaBytes) return std::nullopt;
      found = true;
      metaBytes.resize(std::size_t(size - in.pos));
      if (!readAt(reader, offset + in.pos, metaBytes)) return std::nullopt;
    }
    offset += size;
  }
  if (!found) return std::nullopt;

  Meta meta;
  HeifLayout layout;
  std::vector<std::pair<std::uint32_t, std::size_t>> links;
  Cursor in{metaBytes};
  in.take(4);
  std::vector<Box> boxes;
  while (auto box = nextBox(in)) {
    if (boxes.size() >= kMaxTopBoxes) return std::nullopt;
    boxes.push_back(*box);
  }
  if (!in.ok) return std::nullopt;
  // pitm first: the references and locations read below are the primary item's.
  for (const Box& box : boxes) {
    if (box.type != "pitm") continue;
    Cursor p{box.body};
    const bool wide = p.take(4) >> 24 >= 1;
    const auto id = std::uint32_t(p.take(wide ? 4 : 2));
    if (!p.ok || meta.primary) return std::nullopt;
    meta.primary = id;
  }
  if (!meta.primary) return std::nullopt;
  for (const Box& box : boxes) {
    bool ok = true;
    if (box.type == "iinf") {
      ok = !std::exchange(meta.sawIinf, true) && readIinf(box.body, meta);
    } else if (box.type == "iprp") {
      ok = readIprp(box.body, meta, links);
    } else if (box.type == "iref") {
      ok = !std::exchange(meta.sawIref, true) && readIref(box.body, meta);
    } else if (box.type == "iloc") {
      ok = !std::exchange(meta.sawIloc, true) && readIloc(box.body, meta);
    } else if (box.type == "idat") {
      ok = meta.idat.empty();
      meta.idat = box.body;
    }
    if (!ok) return std::nullopt;
  }
  for (const auto& [id, index] : links) {
    if (index >= meta.propertyPixels.size()) return std::nullopt;
    const auto item = meta.items.find(id);
    if (item != meta.items.end())
      item->second.pixels = std::max(item->second.pixels, meta.propertyPixels[index]);
    if (item != meta.items.end() && meta.propertyNalLength[index] != 0)
      item->second.nalLength = meta.propertyNalLength[index];
    if (id == *meta.primary && meta.propertyTurns[index] < 0) layout.reshaped = true;
    if (id == *meta.primary && meta.propertyTurns[index] > 0)
      layout.quarterTurns = (layout.quarterTurns + meta.propertyTurns[index]) % 4;
  }

  layout.primary = *meta.primary;
  std::size_t units = kMaxNalUnits;
  for (auto& [id, item] : meta.items) {
    // An AV1 stream's sequence header is in its data when its av1C does not carry one.
    const auto place = meta.places.find(id);
    if (item.type == "av01" && place != meta.places.end() && place->second.method == 0 &&
        place->second.offset < reader.size()) {
      std::array<std::uint8_t, 256> start{};
      // A length of 0 runs to the end of the file.
      const std::uint64_t left = reader.size() - place->second.offset;
      const std::size_t n = std::size_t(std::min<std::uint64_t>(
          {start.size(), place->second.length == 0 ? left : place->second.length, left}));
      if (readAt(reader, place->second.offset, std::span(start).first(n)))
        item.pixels = std::max(item.pixels, av1ObuPixels(std::span(start).first(n)));
    }
    if (item.type == "hvc1" && place != meta.places.end() && place->second.method == 0 &&
        place->second.offset < reader.size()) {
      const std::uint64_t left = reader.size() - place->second.offset;
      const std::uint64_t length =
          place->second.length == 0 ? left : std::min(left, place->second.length);
      item.pixels = std::max(
          item.pixels, hevcDataPixels(reader, place->second.offset, place->second.offset + length,
                                      item.nalLength, units));
    }
    if (item.type == "hvc1" || item.type == "av01")
      layout.codedPixels = std::max(layout.codedPixels, item.pixels);
  }
  const auto primary = meta.items.find(*meta.primary);
  const auto gridPlace = meta.places.find(*meta.primary);
  if (primary == meta.items.end() || primary->second.type != "grid" || meta.tiles.empty() ||
      gridPlace == meta.places.end()) {
    return layout;
  }
  for (const std::uint32_t tile : meta.tiles) {
    const auto item = meta.items.find(tile);
    if (item == meta.items.end() || item->second.pixels == 0 ||
        (item->second.type != "hvc1" && item->second.type != "av01")) {
      return layout;
    }
  }
  std::array<std::uint8_t, 12> grid{};
  const Meta::Place place = gridPlace->second;
  const std::size_t length = std::size_t(std::min<std::uint64_t>(place.length, grid.size()));
  if (place.method == 0) {
    if (place.offset > reader.size() || length > reader.size() - place.offset ||
        !readAt(reader, place.offset, std::span(grid).first(length))) {
      return layout;
    }
  } else if (place.method == 1 && place.offset <= meta.idat.size() &&
             length <= meta.idat.size() - place.offset) {
    std::copy_n(meta.idat.begin() + std::ptrdiff_t(place.offset), length, grid.begin());
  } else {
    return layout;
  }
  const std::uint64_t output = gridOutputPixels(std::span(grid).first(length));
  if (output == 0) return layout;
  layout.gridPixels = std::max(output, primary->second.pixels);
  return layout;
}

}  // namespace wqt
