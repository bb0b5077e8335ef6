// The web links of the main window: four fixed addresses, each opened through the desktop
// shell by one control's click. Nothing is remembered, reported or checked.
//
// The addresses are placeholders on reserved domains until the product has real sites;
// whoever packages the program changes them here and nowhere else.
#pragma once

class QWidget;

namespace links {

// The maker's web-site development service: the link line (Label4).
inline constexpr char kWebServiceAddress[] = "https://web.example.com/";
// The product's own site: the first banner (Image5).
inline constexpr char kProductSiteAddress[] = "https://velanta.example.com/";
// The partner site about banks: the second banner (Image6).
inline constexpr char kBanksSiteAddress[] = "https://banks.example.org/";
// The page with new versions, under the product's domain: "Обновление" (SpeedButton5).
inline constexpr char kUpdatesAddress[] = "https://update.velanta.example.com/";

// One request to the shell: operation "open" on `address`, no parameters, no directory,
// a normal window, owned by `owner` (the main window). The outcome is ignored.
void openAddress(QWidget *owner, const char *address);

} // namespace links
