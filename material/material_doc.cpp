// The material document: its record, its texture list, the combination of
// texture outputs at a shaded point, and its place as the document that
// material links open.
#include "material/material_doc.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <unordered_set>

#include "persist/archive.h"
#include "scene/axis.h"

namespace brevoxa {

IMPLEMENT_SERIAL(CMaterialDoc, CObject, 0)

namespace {

const LinkedDocumentRegistrar<IMaterialLink, CMaterialDoc> materialLinkRegistrar;

// Clamps to 0..255 as CVector::Clamp does, except that a component that is
// not a number (a damaged colour map) becomes 0 instead of reaching the
// image.
double ClampComponent(double c) {
  if (!(c > 0.0)) return 0.0;
  return c < 255.0 ? c : 255.0;
}

CVector ClampColor(const CVector& c) {
  return {ClampComponent(c.x), ClampComponent(c.y), ClampComponent(c.z)};
}

// The fields between the version and the texture list, in stored order.
void TransferValues(CArchive& ar, MaterialSettings& s) {
  TransferWordFlag(ar, "phong", s.phong);
  ar.Transfer("indexOfRefraction", s.indexOfRefraction);
  ar.Transfer("hardness", s.hardness);
  ar.Transfer("name", s.name);
  ar.Transfer("specular", s.specular);
  ar.Transfer("reflect", s.reflect);
  ar.Transfer("filter", s.filter);
  ar.Transfer("color", s.color);
}

}  // namespace

// --- Values ---

std::optional<std::string> MaterialSettings::Check() const {
  if (auto message = CheckFields({{&kHardness, hardness}, {&kIndexOfRefraction, indexOfRefraction}})) {
    return message;
  }
  return CheckComponents(kColorRange, {&specular, &reflect, &filter, &color});
}

CMaterialDoc::CMaterialDoc() = default;
CMaterialDoc::~CMaterialDoc() = default;

// --- Textures ---

ITexture* CMaterialDoc::GetTexture(size_t index) const {
  return index < textures_.size() ? textures_[index].get() : nullptr;
}

ITexture* CMaterialDoc::AddTexture(std::unique_ptr<ITexture> texture) {
  if (!texture) return nullptr;
  textures_.push_back(std::move(texture));
  return textures_.back().get();
}

bool CMaterialDoc::DropTexture(const ITexture* texture) {
  auto it = std::find_if(textures_.begin(), textures_.end(),
                         [&](const std::unique_ptr<ITexture>& t) { return t.get() == texture; });
  if (it == textures_.end()) return false;
  textures_.erase(it);
  return true;
}

bool CMaterialDoc::ReorderTextures(const std::vector<const ITexture*>& order) {
  if (order.size() != textures_.size()) return false;
  std::unordered_set<const ITexture*> wanted(order.begin(), order.end());
  if (wanted.size() != order.size()) return false;
  for (const auto& t : textures_) {
    if (!wanted.count(t.get())) return false;
  }
  std::vector<std::unique_ptr<ITexture>> reordered;
  reordered.reserve(textures_.size());
  for (const ITexture* wantedTexture : order) {
    auto it = std::find_if(textures_.begin(), textures_.end(),
                           [&](const std::unique_ptr<ITexture>& t) { return t.get() == wantedTexture; });
    reordered.push_back(std::move(*it));
  }
  textures_ = std::move(reordered);
  return true;
}

bool CMaterialDoc::TextureNameLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

void CMaterialDoc::SortTexturesByName() {
  // Names are computed once; a bitmap texture builds its name each time.
  std::vector<std::pair<std::string, std::unique_ptr<ITexture>>> named;
  named.reserve(textures_.size());
  for (auto& t : textures_) named.emplace_back(t->GetName(), std::move(t));
  std::stable_sort(named.begin(), named.end(),
                   [](const auto& a, const auto& b) { return TextureNameLess(a.first, b.first); });
  for (size_t i = 0; i < named.size(); ++i) textures_[i] = std::move(named[i].second);
}

void CMaterialDoc::PrepareTextures() {
  for (auto& t : textures_) t->Prepare();
}

void CMaterialDoc::ReleaseTextures() {
  for (auto& t : textures_) t->Release();
}

// --- Shading ---

void CMaterialDoc::EvaluateSurface(const IAxis& frame, SurfacePoint& s) const {
  CVector color, filter, reflect, normal;
  bool colorTouched = false, filterTouched = false, reflectTouched = false, normalTouched = false;
  for (const auto& texture : textures_) {
    SurfacePoint work{s.point, s.normal, settings_.color, settings_.filter, settings_.reflect, s.normal};
    texture->Apply(frame, work);
    if (texture->AffectsColor()) {
      color += work.color;
      colorTouched = true;
    }
    if (texture->AffectsFilter()) {
      filter += work.filter;
      filterTouched = true;
    }
    if (texture->AffectsReflect()) {
      reflect += work.reflect;
      reflectTouched = true;
    }
    if (texture->AffectsNormal()) {
      normal += work.shadingNormal;
      normalTouched = true;
    }
  }
  s.color = colorTouched ? ClampColor(color) : settings_.color;
  s.filter = filterTouched ? ClampColor(filter) : settings_.filter;
  s.reflect = reflectTouched ? ClampColor(reflect) : settings_.reflect;
  if (normalTouched) normal.Normalize();
  s.shadingNormal = normalTouched && IsFinite(normal) ? normal : s.normal;
}

bool CMaterialDoc::IsTransparent() const {
  for (const auto& texture : textures_) {
    if (texture->AffectsFilter()) return true;
  }
  const CVector& f = settings_.filter;
  return f.x != 0.0 || f.y != 0.0 || f.z != 0.0;
}

// --- Record ---

void CMaterialDoc::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    TakeViewValues();
    Store(ar);
  } else {
    Load(ar);
  }
}

void CMaterialDoc::Store(CArchive& ar) {
  SortTexturesByName();
  MaterialSettings s = settings_;
  uint16_t version = kVersion;
  ar.Transfer("version", version);
  TransferValues(ar, s);
  ar.WriteCount(static_cast<uint32_t>(textures_.size()));
  for (const auto& t : textures_) ar.WriteObject(t.get());
}

void CMaterialDoc::Load(CArchive& ar) {
  // Loading fills a copy, so that a short or refused record leaves the
  // document whole instead of half old, half new.
  MaterialSettings s = settings_;
  uint16_t version = 0;
  ar.Transfer("version", version);
  if (version != kVersion) return;
  TransferValues(ar, s);

  // Every texture takes at least a two-byte tag.
  const uint32_t count = ar.ReadCount(2);
  std::vector<std::unique_ptr<ITexture>> textures;
  textures.reserve(count);
  {
    CArchive::Group group(ar, "textures", count);
    for (uint32_t i = 0; i < count; ++i) {
      if (ar.GetTrace()) {
        std::string label = "[";
        label += std::to_string(i);
        label += ']';
        ar.Label(label);
      }
      std::unique_ptr<ITexture> texture(static_cast<ITexture*>(ar.ReadOwnedObject(RUNTIME_CLASS(ITexture))));
      // A null reference holds no texture; the list never has holes.
      if (texture) textures.push_back(std::move(texture));
    }
  }

  TakeLoaded(s, "material");
  textures_ = std::move(textures);
}

}  // namespace brevoxa
