#pragma once

// The product's web pages, opened in the user's browser through the launcher.
// One place for each address: the about box and the main window's help menu
// both use these.
namespace snipwave::links {

inline constexpr char kHomePage[] = "https://www.snipwave.app/";
inline constexpr char kFaqPage[] = "https://www.snipwave.app/faq.htm";
// Offered when a ".wma" file cannot be read (the decoder runtime is missing).
inline constexpr char kWmaRuntimePage[] = "https://www.snipwave.app/wma-runtime.htm";

}  // namespace snipwave::links
