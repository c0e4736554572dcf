#pragma once
// What the quake and tsunami pictures need from the embedded tables: the
// observation points of the quake map, the coast slots of the tsunami map
// and the named bitmaps. The node hands in an implementation over its loaded
// tables; tests use small stand-ins.
#include <QImage>
#include <QString>

#include <map>
#include <vector>

#include "client/quake/tables.h"

namespace orva::quake {

// Rows of the observation-point and coast tables.
using PlaceRow = orva::ObservationPoint;
using CoastRow = orva::CoastEntry;

class QuakeAssets {
 public:
  virtual ~QuakeAssets() = default;
  // The observation points in table order (already filtered by the
  // JMA-only setting when the tables were loaded).
  virtual const std::vector<PlaceRow>& Places() const = 0;
  // Number of coast slots (66); slots are numbered from 1.
  virtual int CoastCount() const = 0;
  virtual CoastRow Coast(int slot) const = 0;
  // A named bitmap ("Q_MAP-AA", "TW_MAP", "TW_007", "TW_LV2"); a null image
  // when there is none.
  virtual QImage Bitmap(const QString& name) const = 0;
};

// The assets of a node: its loaded tables and the embedded bitmaps.
class TablesAssets : public QuakeAssets {
 public:
  explicit TablesAssets(const Tables& tables) : tables_(tables) {}
  const std::vector<PlaceRow>& Places() const override { return tables_.Points(); }
  int CoastCount() const override { return tables_.CoastCount(); }
  CoastRow Coast(int slot) const override { return tables_.Coast(slot); }
  QImage Bitmap(const QString& name) const override {
    auto it = bitmaps_.find(name);
    if (it == bitmaps_.end()) it = bitmaps_.emplace(name, LoadBitmap(name)).first;
    return it->second;
  }

 private:
  const Tables& tables_;
  mutable std::map<QString, QImage> bitmaps_;
};

}  // namespace orva::quake
