#include "skin/organicShapeControl.h"

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/IniFiles.h"
#include "platform/ui/Forms.h"

std::string CoordIniPath(const std::string& Folder) {
  return ExtractFilePath(Application->ExeName()) + Folder + "\\coord.ini";
}

TOrganicShapeControl::TOrganicShapeControl(TComponent* AOwner)
    : TCustomControl(AOwner), FSkin(std::make_unique<TOrganicSkin>()), FMask(std::make_unique<TBitmap>()) {
  InvisibleColor = 0xFFFFFF;
  FMask->OnChange = [this](TObject* Sender) { MaskChanged(Sender); };
}

TOrganicShapeControl::~TOrganicShapeControl() {
  // The mask goes without reporting back to a control that is going away.
  FMask->OnChange = nullptr;
  FMask.reset();
  FSkin.reset();
}

void TOrganicShapeControl::SetMask(TBitmap* Value) {
  FMask->Assign(Value);
}

void TOrganicShapeControl::MaskChanged(TObject* Sender) {
  if (FMask->Width() > 0 && FMask->Height() > 0) {
    FSkin->SetKeyColor(InvisibleColor);
    FSkin->Assign(FMask.get());
    SetWindowRgn(Handle(), FSkin->TakeRegion(), true);
  } else {
    SetWindowRgn(Handle(), CreateRectRgn(0, 0, Width(), Height()), true);
  }
}

void TOrganicShapeControl::CreateWnd() {
  TCustomControl::CreateWnd();
  const TComponentState state = ComponentState();
  if (state.Contains(TComponentStateItem::csLoading) || state.Contains(TComponentStateItem::csReading))
    return;
  if (FSkin->Width() > 0 && FSkin->Height() > 0) SetWindowRgn(this, FSkin->TakeRegion(), true);
}

void TOrganicShapeControl::SaveToFolder(const std::string& Folder) {
  if (!DirectoryExists(Folder)) CreateDir(Folder);
  const std::string path = CoordIniPath(Folder);
  // The ini file's own folder (below the program's folder) is made too, so the positions are kept.
  ForceDirectories(ExtractFileDir(ResolvePath(path)));
  TIniFile ini(path);
  ini.WriteInteger(Name(), "left", Left());
  ini.WriteInteger(Name(), "top", Top());
  ini.WriteInteger(Name(), "width", Width());
  ini.WriteInteger(Name(), "height", Height());
}

void TOrganicShapeControl::LoadFromFolder(const std::string& Folder) {
  const TIniFile ini(CoordIniPath(Folder));
  SetLeft(ini.ReadInteger(Name(), "left", Left()));
  SetTop(ini.ReadInteger(Name(), "top", Top()));
  SetWidth(ini.ReadInteger(Name(), "width", Width()));
  SetHeight(ini.ReadInteger(Name(), "height", Height()));
}
