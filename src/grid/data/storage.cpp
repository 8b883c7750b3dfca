#include "grid/data/storage.h"

#include "classlib/componentstream.h"

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <cstring>
#include <span>

namespace marrowen {

namespace {

// Numbers pictures by identity while the storage writes them.
class TdgBitmapElement : public TdgSetElement {
public:
  explicit TdgBitmapElement(const QImage *bitmap) : Bitmap(bitmap) {}
  int CompareElement(const TdgCustomSet &set, const TdgSetElement &other) const override {
    const std::intptr_t keys[2] = {
        reinterpret_cast<std::intptr_t>(static_cast<const TdgBitmapElement &>(other).Bitmap), 0};
    return CompareKeys(set, keys);
  }
  int CompareKeys(const TdgCustomSet &, const std::intptr_t keys[2]) const override {
    const auto mine = reinterpret_cast<std::uintptr_t>(Bitmap);
    const auto key = static_cast<std::uintptr_t>(keys[0]);
    return mine == key ? cmpEqual : mine > key ? cmpGoLeft : cmpGoRight;
  }
  const QImage *Bitmap;
  int Index = 0;
};

class TdgBitmapSet : public TdgObjectSet {};

void putInt(std::string &out, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  const char bytes[4] = {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                         static_cast<char>((u >> 16) & 0xFF), static_cast<char>(u >> 24)};
  out.append(bytes, 4);
}

std::uint32_t getU32(const char *p) {
  const auto *b = reinterpret_cast<const unsigned char *>(p);
  return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
         (std::uint32_t(b[3]) << 24);
}

constexpr std::string_view invalidBitmapText = "Bitmap image is not valid";

// Reads the "Data" stream with every length checked against what is left.
class DataReader {
public:
  explicit DataReader(std::string_view data) : data_(data) {}
  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return data_.size() - pos_; }
  const char *take(std::size_t n) {
    if (n > remaining())
      failAt(pos_, readErrorText);
    const char *p = data_.data() + pos_;
    pos_ += n;
    return p;
  }
  std::int32_t readInt() { return static_cast<std::int32_t>(getU32(take(4))); }
  std::uint8_t readByte() { return static_cast<std::uint8_t>(*take(1)); }
  // A count or length: 0 .. `limit`, else the stream is damaged where it was read.
  std::int32_t readCount(std::size_t limit) {
    const std::size_t at = pos_;
    const std::int32_t n = readInt();
    if (n < 0 || static_cast<std::size_t>(n) > limit)
      failAt(at, readErrorText);
    return n;
  }
  [[noreturn]] void failAt(std::size_t at, std::string_view detail) const {
    throw EReadError(std::string(detail), {}, at);
  }

private:
  std::string_view data_;
  std::size_t pos_ = 0;
};

// The class library's bitmaps stream as a BMP file image; an empty one as the
// headers of a 0 x 0 picture.
void writeBitmap(std::string &out, const QImage *image) {
  if (image && !image->isNull()) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image->save(&buffer, "BMP");
    out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return;
  }
  std::string header = "BM";
  putInt(header, 54);
  putInt(header, 0);
  putInt(header, 54);
  putInt(header, 40);
  putInt(header, 0); // width
  putInt(header, 0); // height
  header += std::string("\x01\x00\x20\x00", 4);
  header += std::string(24, '\0');
  out += header;
}

// Takes exactly the length the file header gives. The pixel count is bounded
// by the bytes, so a damaged header cannot make the decoder allocate wildly.
QImage readBitmap(DataReader &reader) {
  const std::size_t at = reader.position();
  if (reader.remaining() < 18)
    reader.failAt(at, readErrorText);
  const char *head = reader.take(18);
  const std::uint32_t size = getU32(head + 2);
  const std::uint32_t infoSize = getU32(head + 14);
  if (head[0] != 'B' || head[1] != 'M' || size < 26)
    reader.failAt(at, invalidBitmapText);
  if (size - 18 > reader.remaining())
    reader.failAt(at, readErrorText);
  const char *rest = reader.take(size - 18);
  std::int64_t width, height;
  if (infoSize == 12) {
    width = static_cast<unsigned char>(rest[0]) | (static_cast<unsigned char>(rest[1]) << 8);
    height = static_cast<unsigned char>(rest[2]) | (static_cast<unsigned char>(rest[3]) << 8);
  } else if (infoSize >= 40 && size >= 54) {
    width = static_cast<std::int32_t>(getU32(rest));
    height = static_cast<std::int32_t>(getU32(rest + 4));
  } else {
    reader.failAt(at, invalidBitmapText);
  }
  if (width == 0 || height == 0)
    return QImage();
  if (std::abs(width) * std::abs(height) > std::int64_t(size) * 256)
    reader.failAt(at, invalidBitmapText);
  QImage image;
  if (!image.loadFromData(reinterpret_cast<const uchar *>(head), static_cast<int>(size), "BMP"))
    reader.failAt(at, invalidBitmapText);
  return image;
}

} // namespace

// ---------------------------------------------------------------------------
// Rows and cells

int Tdg2DStorage::UsedCols(int row) const {
  return row >= 0 && row < RowSlots() ? rows_[row].used : 0;
}

int Tdg2DStorage::Capacity(int row) const {
  return row >= 0 && row < RowSlots() ? static_cast<int>(rows_[row].cells.size()) : 0;
}

int Tdg2DStorage::LastRow() const {
  for (int r = RowSlots() - 1; r >= 1; --r)
    if (!rows_[r].cells.empty())
      return r;
  return 0;
}

int Tdg2DStorage::TrimmedColCount(int row) const {
  if (!hasCells(row))
    return 0;
  const Row &r = rows_[row];
  for (int c = r.used; c >= 1; --c)
    if (r.cells[c - 1].kind() != ckEmpty)
      return c;
  return 0;
}

void Tdg2DStorage::setRowCapacity(int row, int newCapacity) {
  Row &r = rows_[row];
  const int capacity = static_cast<int>(r.cells.size());
  if (newCapacity == capacity) {
    r.used = newCapacity;
    return;
  }
  if (newCapacity > capacity) {
    for (int c = r.used; c < capacity; ++c)
      clearCell(r.cells[c]);
    r.cells.resize(newCapacity);
  } else if (newCapacity <= 0) {
    r.cells = {};
    newCapacity = 0;
  } else {
    r.cells.resize(newCapacity);
    r.cells.shrink_to_fit();
  }
  r.used = newCapacity;
}

void Tdg2DStorage::clearRow(int row, int newCapacity) {
  if (row < 0 || row >= RowSlots())
    return;
  Row &r = rows_[row];
  for (int c = 0; c < r.used; ++c)
    clearCell(r.cells[c]);
  if (newCapacity >= 0)
    setRowCapacity(row, newCapacity);
}

void Tdg2DStorage::clearCol(int col) {
  for (int r = 1; r < RowSlots(); ++r)
    if (rows_[r].used >= col)
      clearCell(rows_[r].cells[col - 1]);
}

void Tdg2DStorage::clearFrom(int fromRow, bool shrink) {
  if (fromRow == 1)
    fromRow = 0;
  for (int r = fromRow; r < RowSlots(); ++r)
    rows_[r] = Row{};
  if (shrink)
    setRowSlots(fromRow == 0 ? 0 : std::min(RowSlots(), fromRow + 1));
}

void Tdg2DStorage::ensureRow(int row) {
  if (row >= RowSlots())
    setRowSlots(row < MinRows + 1 ? MinRows + 1 : row + 10);
}

void Tdg2DStorage::ensureCol(int col, int row) {
  Row &r = rows_[row];
  if (col <= r.used)
    return;
  if (col > static_cast<int>(r.cells.size()))
    setRowCapacity(row, col < MinCols ? MinCols : col + 10);
  else
    r.used = col;
}

Variant Tdg2DStorage::GetValue(int col, int row) const {
  if (row < 0 || row >= RowSlots() || col < 1 || col > rows_[row].used)
    return {};
  const Cell &cell = rows_[row].cells[col - 1];
  switch (cell.kind()) {
  case ckText:
    return Variant(std::get<ckText>(cell.value));
  case ckPictureName:
    return Variant(std::get<ckPictureName>(cell.value).text);
  case ckInteger:
    return Variant(std::get<std::int32_t>(cell.value));
  case ckPicture:
    return Variant(std::get<Picture>(cell.value));
  case ckNull:
    return Variant::Null();
  default:
    return {};
  }
}

std::uint8_t Tdg2DStorage::GetKind(int col, int row) const {
  if (row < 0 || row >= RowSlots() || col < 1 || col > rows_[row].used)
    return ckEmpty;
  return rows_[row].cells[col - 1].kind();
}

void Tdg2DStorage::SetValue(int col, int row, const Variant &value, std::uint8_t kind) {
  if (col < 1 || row < 0)
    return;
  const std::uint8_t old = GetKind(col, row);
  if (value.isEmpty() && old == ckEmpty)
    return;
  // Converted first: a refused conversion must leave the cell as it was.
  Value converted;
  if (!value.isEmpty())
    switch (kind) {
    case ckText:
      converted.emplace<ckText>(value.toString());
      break;
    case ckPictureName:
      converted.emplace<ckPictureName>(PictureName{value.toString()});
      break;
    case ckInteger:
      converted.emplace<ckInteger>(value.toInteger());
      break;
    case ckPicture:
      converted.emplace<ckPicture>(value.toPicture());
      break;
    case ckNull:
      converted.emplace<ckNull>();
      break;
    default:
      break;
    }
  put(col, row, std::move(converted));
}

void Tdg2DStorage::put(int col, int row, Value &&value) {
  ensureRow(row);
  ensureCol(col, row);
  rows_[row].cells[col - 1].value = std::move(value);
}

void Tdg2DStorage::copyRow(int fromRow, int toRow) {
  if (rows_.empty() || toRow < 0 || toRow >= RowSlots())
    return;
  if (!hasCells(fromRow)) {
    clearRow(toRow, 0);
    return;
  }
  const int used = rows_[fromRow].used;
  for (int c = 1; c <= used; ++c) {
    const Cell &from = rows_[fromRow].cells[c - 1];
    if (from.kind() == ckEmpty) {
      if (GetKind(c, toRow) != ckEmpty)
        clearCell(rows_[toRow].cells[c - 1]);
    } else {
      Value copy = from.value;
      put(c, toRow, std::move(copy));
    }
  }
  Row &to = rows_[toRow];
  for (int c = used + 1; c <= to.used; ++c)
    clearCell(to.cells[c - 1]);
}

void Tdg2DStorage::SaveRow(int row) { copyRow(row, 0); }

void Tdg2DStorage::ClearSavedRow() { clearRow(0, 0); }

void Tdg2DStorage::RestoreRow(int row) {
  copyRow(0, row);
  ClearSavedRow();
}

void Tdg2DStorage::Assign(const Tdg2DStorage *source) {
  if (!source || source == this)
    return;
  OwnerFlag = source->OwnerFlag;
  const int last = source->LastRow();
  if (last == 0) {
    clearFrom(0, true);
    return;
  }
  clearFrom(last + 1, false);
  setRowSlots(std::max(MinRows + 1, last + 1));
  for (int r = 1; r <= last; ++r) {
    const int trimmed = source->TrimmedColCount(r);
    if (trimmed == 0) {
      clearRow(r, 0);
      continue;
    }
    clearRow(r, std::max(trimmed, MinCols));
    std::copy(source->rows_[r].cells.begin(), source->rows_[r].cells.begin() + trimmed,
              rows_[r].cells.begin());
  }
}

void Tdg2DStorage::RemoveRows(int fromRow, int toRow) {
  if (fromRow < 0 || fromRow > toRow || fromRow > RowSlots() - 1)
    return;
  toRow = std::min(toRow, RowSlots() - 1);
  rows_.erase(rows_.begin() + fromRow, rows_.begin() + toRow + 1);
}

void Tdg2DStorage::RemoveRowSet(const std::vector<bool> &removed) {
  std::size_t to = 0;
  for (std::size_t r = 0; r < rows_.size(); ++r) {
    if (r < removed.size() && removed[r])
      continue;
    if (to != r)
      rows_[to] = std::move(rows_[r]);
    ++to;
  }
  rows_.resize(to);
}

void Tdg2DStorage::RemoveCols(int fromCol, int toCol) {
  if (toCol < fromCol || fromCol < 1)
    return;
  for (Row &r : rows_) {
    if (r.used < fromCol)
      continue;
    const int last = std::min(r.used, toCol);
    const int n = last - fromCol + 1;
    std::move(r.cells.begin() + last, r.cells.begin() + r.used, r.cells.begin() + fromCol - 1);
    for (int c = r.used - n; c < r.used; ++c)
      clearCell(r.cells[c]);
    r.used -= n;
    const int capacity = static_cast<int>(r.cells.size());
    if (capacity - r.used < 8 && r.used > 0)
      continue;
    if (r.used == 0)
      r.cells = {};
    else {
      r.cells.resize(r.used);
      r.cells.shrink_to_fit();
    }
  }
}

// ---------------------------------------------------------------------------
// The "Data" stream

void Tdg2DStorage::WriteValues(std::string &out) const {
  TdgBitmapSet numbers;
  std::vector<const QImage *> pictures;
  const int last = LastRow();
  for (int r = 1; r <= last; ++r) {
    const int trimmed = TrimmedColCount(r);
    if (trimmed == 0)
      continue;
    putInt(out, r);
    putInt(out, trimmed);
    for (const Cell &cell : std::span(rows_[r].cells.data(), trimmed)) {
      out.push_back(static_cast<char>(cell.kind()));
      switch (cell.kind()) {
      case ckText:
      case ckPictureName: {
        const std::string &text = cell.kind() == ckText ? std::get<ckText>(cell.value)
                                                        : std::get<ckPictureName>(cell.value).text;
        putInt(out, static_cast<std::int32_t>(text.size()));
        out += text;
        break;
      }
      case ckInteger:
        putInt(out, std::get<ckInteger>(cell.value));
        break;
      case ckPicture: {
        const QImage *bitmap = std::get<ckPicture>(cell.value).get();
        auto *element =
            static_cast<TdgBitmapElement *>(numbers.Find(reinterpret_cast<std::intptr_t>(bitmap)));
        if (!element)
          element = static_cast<TdgBitmapElement *>(
              numbers.Add(std::make_unique<TdgBitmapElement>(bitmap)));
        if (element->Index == 0) {
          pictures.push_back(bitmap);
          element->Index = static_cast<int>(pictures.size());
        }
        putInt(out, element->Index);
        break;
      }
      default:
        break;
      }
    }
  }
  putInt(out, 0);
  putInt(out, static_cast<std::int32_t>(pictures.size()));
  for (const QImage *picture : pictures)
    writeBitmap(out, picture);
}

void Tdg2DStorage::ReadValues(std::string_view data, const TdgIntegerList *targetCols) {
  // First the whole stream is checked and its pictures decoded, so a damaged
  // stream raises before anything stored is touched.
  DataReader check(data);
  std::size_t highestPicture = 0;
  for (std::int32_t row = check.readInt(); row != 0; row = check.readInt()) {
    const std::int32_t count = check.readCount(check.remaining());
    for (std::int32_t i = 0; i < count; ++i) {
      const std::size_t at = check.position();
      switch (check.readByte()) {
      case ckEmpty:
      case ckNull:
        break;
      case ckText:
      case ckPictureName:
        check.take(check.readCount(check.remaining()));
        break;
      case ckInteger:
        check.readInt();
        break;
      case ckPicture: {
        const std::size_t numberAt = check.position();
        const std::int32_t n = check.readInt();
        if (n < 1 || static_cast<std::size_t>(n) > check.remaining())
          check.failAt(numberAt, readErrorText);
        highestPicture = std::max(highestPicture, static_cast<std::size_t>(n));
        break;
      }
      default:
        check.failAt(at, readErrorText);
      }
    }
  }
  const std::int32_t pictureCount = check.readCount(check.remaining() / 18);
  std::vector<Picture> pictures(highestPicture);
  for (std::int32_t i = 0; i < pictureCount; ++i) {
    QImage image = readBitmap(check);
    if (static_cast<std::size_t>(i) < highestPicture)
      pictures[i] = std::make_shared<QImage>(std::move(image));
  }

  if (!targetCols)
    clearFrom(0, true);
  else
    for (int i = 0; i < targetCols->Count(); ++i)
      if (targetCols->Get(i) > 0)
        clearCol(targetCols->Get(i));

  DataReader apply(data);
  for (std::int32_t row = apply.readInt(); row != 0; row = apply.readInt()) {
    const std::int32_t count = apply.readInt();
    // Rows the grid does not have are read and dropped.
    const bool keep = row >= 1 && row <= MinRows;
    for (std::int32_t i = 1; i <= count; ++i) {
      const int target = targetCols && i <= targetCols->Count() ? targetCols->Get(i - 1) : i;
      const bool store = keep && target >= 1;
      const std::uint8_t kind = apply.readByte();
      switch (kind) {
      case ckText:
      case ckPictureName: {
        const std::int32_t length = apply.readInt();
        const char *text = apply.take(length);
        if (store) {
          if (kind == ckText)
            put(target, row, Value(std::in_place_index<ckText>, text, length));
          else
            put(target, row, Value(PictureName{std::string(text, length)}));
        }
        break;
      }
      case ckInteger: {
        const std::int32_t v = apply.readInt();
        if (store)
          put(target, row, Value(std::in_place_index<ckInteger>, v));
        break;
      }
      case ckPicture: {
        const std::int32_t n = apply.readInt();
        Picture &picture = pictures[n - 1];
        if (!picture)
          picture = std::make_shared<QImage>();
        if (store)
          put(target, row, Value(std::in_place_index<ckPicture>, picture));
        break;
      }
      case ckNull:
        if (store)
          put(target, row, Value(NullMark{}));
        break;
      default:
        break;
      }
    }
  }
}

} // namespace marrowen
