#include "config/StoreDefinition.h"

#include <stdexcept>

#include "core/ValueText.h"

namespace pixolan::config::definition {

namespace {

using K = TControlKind;

constexpr TControlDefinition Pa(std::string_view name, std::string_view parent, bool visible) {
  return {.Kind = K::Panel, .Name = name, .Parent = parent, .Number = visible};
}
constexpr TControlDefinition Ed(std::string_view name, std::string_view parent,
                                std::string_view text) {
  return {.Kind = K::Edit, .Name = name, .Parent = parent, .Text = text};
}
constexpr TControlDefinition ColorEd(std::string_view name, std::string_view parent,
                                     std::string_view text) {
  return {.Kind = K::Edit, .Name = name, .Parent = parent, .Text = text, .IsColorField = true};
}
constexpr TControlDefinition Cb(std::string_view name, std::string_view parent,
                                std::string_view text, std::string_view items) {
  return {.Kind = K::Combo, .Name = name, .Parent = parent, .Text = text, .Items = items};
}
constexpr TControlDefinition Rb(std::string_view name, std::string_view parent, bool checked) {
  return {.Kind = K::Radio, .Name = name, .Parent = parent, .Number = checked};
}
constexpr TControlDefinition Ch(std::string_view name, std::string_view parent, bool checked) {
  return {.Kind = K::Check, .Name = name, .Parent = parent, .Number = checked};
}
constexpr TControlDefinition Sb(std::string_view name, std::string_view parent, int32_t position,
                                int32_t min, int32_t max, std::string_view combo) {
  return {.Kind = K::ScrollBar,
          .Name = name,
          .Parent = parent,
          .Number = position,
          .Min = min,
          .Max = max,
          .Tie = combo};
}
constexpr TControlDefinition Mm(std::string_view name, std::string_view parent,
                                std::string_view text) {
  return {.Kind = K::Memo, .Name = name, .Parent = parent, .Text = text};
}
constexpr TControlDefinition Flag(std::string_view name, bool on) {
  return {.Kind = K::Flag, .Name = name, .Number = on};
}
constexpr TControlDefinition Num(std::string_view name, int32_t number) {
  return {.Kind = K::Number, .Name = name, .Number = number};
}

// Combo box items (German; the English ones follow from the language rules).
constexpr std::string_view kZoomItems =
    "<Anpassen>|<Originalgröße>|<Fenstergröße>|10%|25%|50%|75%|100%|125%|150%|200%|400%|800%|"
    "1600%";
constexpr std::string_view kFolderItems = "<beibehalten>|%ordner%/neu|Benutzerdefiniert..";
constexpr std::string_view kNameItems =
    "<beibehalten>|%name%-1|%name%|%0num%|%0num%-%abs%|%num%|%name% (%breite%x%höhe%)|"
    "Benutzerdefiniert..";
constexpr std::string_view kFormatItems =
    "<beibehalten>|*.jpg - JPEG-Bild|*.png - Portable Network Graphics|"
    "*.gif - Graphics Interchange Format|*.bmp - Windows Bitmap|*.dib - Windows Bitmap|"
    "*.ico - Windows Icon|*.cur - Windows Cursor|*.psd - Photoshop Bild|*.pdd - Photoshop Bild|"
    "*.tif - Tagged Image File Format|*.tiff - Tagged Image File Format|*.jpeg - JPEG-Bild|"
    "*.jfif - JPEG-Bild|*.jpe - JPEG-Bild|*.jif - JPEG-Bild|*.mng - Multiple Network Graphics|"
    "*.jng - JPEG Network Graphics´|*.pgm - Portable Gray Map|*.ppm - Portable Pixel Map|"
    "*.pam - Portable Arbitrary Map|*.pfm - Portable Float Map|*.jp2 - JPEG 2000|"
    "*.j2k - JPEG 2000|*.j2c - JPEG 2000|*.jpx - JPEG 2000|*.jpc - JPEG 2000|"
    "*.dds - DirectDraw Surface|*.tga - Truevision Targa Bild";
constexpr std::string_view kSizeItems =
    "100|240|320|480|600|640|720|768|800|864|1024|1152|1280|1366|1440|1600|1792|1920|2048|"
    "Benutzer..";
constexpr std::string_view kMethodItems = "Bikubisch|Bilinear|Nächster Nachbar";
constexpr std::string_view kAngleItems = "90°|180°|270°";
constexpr std::string_view kColorCountItems =
    "1|2|3|4|5|6|7|8|9|10|12|14|16|32|64|128|256|512|1024";
constexpr std::string_view kChannelItems = "Rot|Grün|Blau";
constexpr std::string_view kSignedItems =
    "300|250|200|150|100|90|80|70|60|50|40|30|20|10|0|-10|-20|-30|-40|-50|-60|-70|-80|-90|"
    "-100|-150|-200|-250|-300";
constexpr std::string_view kGammaItems = "0|0,1|0,25|0,5|0,75|1,0|1,5|2|4|8|16|32|64|128";
constexpr std::string_view kCropItems = "0|10|25|50|75|100|250|500|1000|Benutzer..";
constexpr std::string_view kPercentItems = "0|10|20|30|40|50|60|70|80|90|100";
constexpr std::string_view kOverlaySizeItems =
    "50|100|240|320|480|600|640|720|768|800|864|1024|1152|1280|1366|1440|1600|1792|1920|2048|"
    "Benutzer..";
constexpr std::string_view kOffsetItems =
    "0|10|20|50|100|240|320|480|600|640|720|768|800|864|1024|Benutzer..";
constexpr std::string_view kFrameItems = "0|1|2|3|4|5|10|15|20|25|50|100|150|200|250|Benutzer..";
constexpr std::string_view kMissingChannelItems = "Weiß|Schwarz|Negativ";
constexpr std::string_view kBlurItems = "0|1|2|3|4|5|6|7|8|9|10|25|50|100|Benutzer..";
constexpr std::string_view kBlurVerticalItems = "~|0|1|2|3|4|5|6|7|8|9|10|25|50|100|Benutzer..";
constexpr std::string_view kSharpenItems =
    "10000|1000|500|300|250|225|200|175|150|125|100|90|80|70|60|50|40|30|20|15|10|5|0|-5|-10|"
    "-15|-20|-30|-40|-50|-60|-70|-80|-90|-100|-150|-200|-250|-300|-500|-1000|-10000";
constexpr std::string_view kSharpenRadiusItems = "1|2|3|4|5|6|7|8|9|10|Benutzer..";
constexpr std::string_view kQualityItems = "100|90|85|80|75|70|60|40|20|1";
constexpr std::string_view kMaskItems =
    "%name%|%name%1|%name%%num%|%0num%|%0num% %name%|%0num%-%abs%";
constexpr std::string_view kNumberStartItems = "0|1";

// Main window `Tprog`. Panels precede their children, as windows create them; within
// that, each section's keys keep the order configuration files list them in, and every
// scroll bar follows the combo box it mirrors.
constexpr TControlDefinition kMainWindow[] = {
    Pa("Panel1", "Tprog", true),
    Pa("Panel2", "Panel1", true),
    Pa("Panel4", "Panel2", true),
    Pa("box_dat", "Panel4", true),
    Pa("box_dat_top", "box_dat", true),
    // inp_ordner before inp_ow: the watch starts for the folder just loaded.
    Ed("inp_ordner", "box_dat", ""),
    Ch("inp_ow", "box_dat", false),
    Ch("inp_uv", "box_dat", true),
    Ch("inp_cbwatch", "box_dat", false),
    Pa("Panel5", "Panel2", true),
    Pa("box_vor", "Panel5", true),
    Pa("box_vor_top", "box_vor", true),
    Pa("pa_vorschau_unten", "box_vor", true),
    Ch("vor_okay", "pa_vorschau_unten", true),
    Cb("vor_resize", "pa_vorschau_unten", "<Anpassen>", kZoomItems),
    Pa("Panel3", "Panel1", true),
    Pa("Panel7", "Panel3", true),
    Pa("box_sav", "Panel7", true),
    Pa("box_sav_top", "box_sav", true),
    Rb("out_overwrite", "box_sav", false),
    Rb("out_newimage", "box_sav", true),
    Cb("out_ordner", "box_sav", "<beibehalten>", kFolderItems),
    Cb("out_name", "box_sav", "%name%-1", kNameItems),
    Cb("out_format", "box_sav", "<beibehalten>", kFormatItems),
    Ch("out_deleteoriginal", "box_sav", false),
    Pa("Panel6", "Panel3", true),
    Pa("box_akt", "Panel6", true),
    Pa("box_akt_top", "box_akt", true),
    // 1 Resize
    Pa("apanel10", "ScrollBox1", true),
    Ch("act_size", "apanel10", false),
    Pa("apanel11", "ScrollBox1", false),
    Cb("act_sizebenutzer_x", "apanel11", "640", kSizeItems),
    Cb("act_sizebenutzer_y", "apanel11", "480", kSizeItems),
    Cb("act_sizemethode", "apanel11", "Bikubisch", kMethodItems),
    Rb("act_sizebenutzer", "apanel11", false),
    Rb("act_size1024x768", "apanel11", false),
    Rb("act_size800x600", "apanel11", false),
    Rb("act_size640x480", "apanel11", true),
    Rb("act_size240x320", "apanel11", false),
    Ch("act_sizeprop", "apanel11", true),
    Ch("act_sizehochquerformat", "apanel11", true),
    Ch("act_sizebigger", "apanel11", true),
    Ch("act_sizekleiner", "apanel11", true),
    // 2 Rotate and mirror
    Pa("apanel20", "ScrollBox1", true),
    Ch("act_drehenspiegeln", "apanel20", false),
    Pa("apanel21", "ScrollBox1", false),
    Cb("act_drehencb", "apanel21", "90°", kAngleItems),
    Ch("act_spiegelnvert", "apanel21", false),
    Ch("act_drehen", "apanel21", false),
    Ch("act_spiegelnhor", "apanel21", false),
    // 3 Color
    Pa("apanel30", "ScrollBox1", true),
    Ch("act_farbe", "apanel30", false),
    Pa("apanel31", "ScrollBox1", false),
    Cb("act_farberedcb", "apanel31", "2", kColorCountItems),
    Cb("act_farbevert1", "apanel31", "Rot", kChannelItems),
    Cb("act_farbevert2", "apanel31", "Blau", kChannelItems),
    Cb("act_farbe_r", "apanel31", "0", kSignedItems),
    Cb("act_farbe_g", "apanel31", "0", kSignedItems),
    Cb("act_farbe_b", "apanel31", "0", kSignedItems),
    Cb("act_farberot", "apanel31", "1,0", kGammaItems),
    Cb("act_farbegruen", "apanel31", "1,0", kGammaItems),
    Cb("act_farbeblau", "apanel31", "1,0", kGammaItems),
    Ch("act_farbenegativ", "apanel31", false),
    Ch("act_farbereduzieren", "apanel31", false),
    Ch("act_farbevertauschen", "apanel31", false),
    Ch("act_farbegamma", "apanel31", false),
    Ch("act_farbe_kolorieren", "apanel31", false),
    Sb("ScrollBar5", "apanel31", 0, -300, 300, "act_farbe_r"),
    Sb("ScrollBar6", "apanel31", 0, -300, 300, "act_farbe_g"),
    Sb("ScrollBar7", "apanel31", 0, -300, 300, "act_farbe_b"),
    // 10 Watermark (header), 4 Contrast/brightness/saturation (options), 7 Crop
    Pa("apanel60", "ScrollBox1", true),
    Ch("act_wasserzeichen", "apanel60", false),
    Pa("apanel41", "ScrollBox1", false),
    Cb("act_farbekontrast", "apanel41", "0", kSignedItems),
    Cb("act_farbehelligkeit", "apanel41", "0", kSignedItems),
    Cb("act_farbesaettigung", "apanel41", "0", kSignedItems),
    Sb("ScrollBar2", "apanel41", 0, -300, 300, "act_farbekontrast"),
    Sb("ScrollBar3", "apanel41", 0, -300, 300, "act_farbehelligkeit"),
    Sb("ScrollBar4", "apanel41", 0, -300, 300, "act_farbesaettigung"),
    Pa("apanel50", "ScrollBox1", true),
    Ch("act_zuschneiden", "apanel50", false),
    Pa("apanel51", "ScrollBox1", false),
    Cb("act_zuschlinks", "apanel51", "0", kCropItems),
    Cb("act_zuschrechts", "apanel51", "0", kCropItems),
    Cb("act_zuschoben", "apanel51", "0", kCropItems),
    Cb("act_zuschunten", "apanel51", "0", kCropItems),
    Rb("rb_zuschn_abschneiden", "apanel51", true),
    Rb("rb_zuschn_beibehalten", "apanel51", false),
    Pa("apanel40", "ScrollBox1", true),
    Ch("act_khs", "apanel40", false),
    // 10 Watermark (options); its position controls sit on Panel8
    Pa("apanel61", "ScrollBox1", false),
    Ed("act_wz_quelle", "apanel61", ""),
    ColorEd("act_wz_transpfarbe", "apanel61", "#FFFFFF"),
    Cb("act_wz_transpwert", "apanel61", "50", kPercentItems),
    Ch("act_wz_transpfarbeaktiv", "apanel61", false),
    Rb("act_wz_g_original", "apanel61", true),
    Rb("act_wz_g_resize", "apanel61", false),
    Pa("Panel8", "apanel61", true),
    Rb("act_wz_p_mittig", "Panel8", true),
    Rb("act_wz_p_benutzer", "Panel8", false),
    Cb("act_wz_p_benutzer_pixelou", "Panel8", "100", kOffsetItems),
    Cb("act_wz_p_benutzer_pixellr", "Panel8", "100", kOffsetItems),
    Ch("act_wz_p_benutzer_oben", "Panel8", false),   // caption "links"
    Ch("act_wz_p_benutzer_unten", "Panel8", true),   // caption "rechts"
    Ch("act_wz_p_benutzer_links", "Panel8", false),  // caption "oben"
    Ch("act_wz_p_benutzer_rechts", "Panel8", true),  // caption "unten"
    Rb("act_wz_g_benutzer", "apanel61", false),
    Cb("act_wz_benutzer_x", "apanel61", "640", kOverlaySizeItems),
    Cb("act_wz_benutzer_y", "apanel61", "480", kOverlaySizeItems),
    Sb("ScrollBar8", "apanel61", 50, 0, 100, "act_wz_transpwert"),
    // 8 Frame
    Pa("apanel70", "ScrollBox1", true),
    Ch("act_rand", "apanel70", false),
    Pa("apanel71", "ScrollBox1", false),
    Cb("act_randbreite", "apanel71", "5", kFrameItems),
    ColorEd("act_randfarbe", "apanel71", "#000000"),
    Ch("act_randhinzu", "apanel71", false),
    Cb("act_randtransp", "apanel71", "0", kPercentItems),
    // 13 More functions
    Pa("apanelweitere0", "ScrollBox1", true),
    Pa("apanelweitere1", "ScrollBox1", false),
    // 9 Color channels
    Pa("apanel80", "ScrollBox1", true),
    Ch("act_channels", "apanel80", false),
    Pa("apanel81", "ScrollBox1", false),
    Rb("act_channels_rgb", "apanel81", true),
    Ch("act_channel_rot", "apanel81", true),
    Ch("act_channel_gruen", "apanel81", true),
    Ch("act_channel_blau", "apanel81", true),
    Rb("act_channels_cmyk", "apanel81", false),
    Ch("act_channel_c", "apanel81", true),
    Ch("act_channel_m", "apanel81", true),
    Ch("act_channel_y", "apanel81", true),
    Ch("act_channel_k", "apanel81", true),
    Cb("act_channels_zufarbe", "apanel81", "Weiß", kMissingChannelItems),
    // 11 Text; its position controls sit on Panel9
    Pa("apanel90", "ScrollBox1", true),
    Ch("act_text", "apanel90", false),
    Pa("apanel91", "ScrollBox1", false),
    Mm("act_text_quelle", "apanel91", "abc"),
    ColorEd("act_text_fontcolor", "apanel91", "#000000"),
    ColorEd("act_text_hintergrund", "apanel91", "#FFFFFF"),
    Ch("act_text_hgtransparent", "apanel91", false),
    Cb("act_text_transpwert", "apanel91", "50", kPercentItems),
    Rb("act_text_g_schrift", "apanel91", true),
    Pa("Panel9", "apanel91", true),
    Rb("act_text_p_mittig", "Panel9", true),
    Rb("act_text_p_benutzer", "Panel9", false),
    Cb("act_text_p_benutzer_pixelou", "Panel9", "100", kOffsetItems),
    Cb("act_text_p_benutzer_pixellr", "Panel9", "100", kOffsetItems),
    Ch("act_text_p_benutzer_oben", "Panel9", false),   // caption "links"
    Ch("act_text_p_benutzer_unten", "Panel9", true),   // caption "rechts"
    Ch("act_text_p_benutzer_links", "Panel9", false),  // caption "oben"
    Ch("act_text_p_benutzer_rechts", "Panel9", true),  // caption "unten"
    Rb("act_text_g_benutzer", "apanel91", false),
    Cb("act_text_benutzer_x", "apanel91", "640", kOverlaySizeItems),
    Cb("act_text_benutzer_y", "apanel91", "480", kOverlaySizeItems),
    Rb("act_text_g_resize", "apanel91", false),
    Sb("ScrollBar1", "apanel91", 50, 0, 100, "act_text_transpwert"),
    // 12 Order of actions (the list itself is section "PBRF")
    Pa("apanel100", "ScrollBox1", true),
    Pa("apanel101", "ScrollBox1", false),
    // 5 Blur, 6 Sharpen
    Pa("apanel41a", "ScrollBox1", false),
    Cb("act_weich_gr_h", "apanel41a", "1", kBlurItems),
    Cb("act_weich_gr_v", "apanel41a", "~", kBlurVerticalItems),
    Ch("act_weich_gauss", "apanel41a", false),
    Pa("apanel40a", "ScrollBox1", true),
    Ch("act_weich", "apanel40a", false),
    Pa("apanel40b", "ScrollBox1", true),
    Ch("act_hart", "apanel40b", false),
    Pa("apanel41b", "ScrollBox1", false),
    Cb("act_hart_st", "apanel41b", "35", kSharpenItems),
    Sb("ScrollBar11", "apanel41b", 35, -300, 300, "act_hart_st"),
    Cb("act_hart_gr", "apanel41b", "1", kSharpenRadiusItems),
    Pa("Panel12", "Tprog", true),
};

// Format filter of the folder scan `Tsm_filter`.
constexpr TControlDefinition kFormatFilter[] = {
    Ch("jpg", "Tsm_filter", false),        Ch("bmp", "Tsm_filter", false),
    Ch("cb_bitmap", "Tsm_filter", false),  Ch("dib", "Tsm_filter", false),
    Ch("cb_jpg", "Tsm_filter", false),     Ch("jpeg", "Tsm_filter", false),
    Ch("jfif", "Tsm_filter", false),       Ch("jpe", "Tsm_filter", false),
    Ch("jif", "Tsm_filter", false),        Ch("png", "Tsm_filter", false),
    Ch("mng", "Tsm_filter", false),        Ch("jng", "Tsm_filter", false),
    Ch("gif", "Tsm_filter", false),        Ch("cb_photoshop", "Tsm_filter", false),
    Ch("ico", "Tsm_filter", false),        Ch("tif", "Tsm_filter", false),
    Ch("cb_tiff", "Tsm_filter", false),    Ch("tiff", "Tsm_filter", false),
    Ch("psd", "Tsm_filter", false),        Ch("pdd", "Tsm_filter", false),
    Ch("cur", "Tsm_filter", false),        Ch("jp2", "Tsm_filter", false),
    Ch("cb_jpg2000", "Tsm_filter", false), Ch("j2k", "Tsm_filter", false),
    Ch("j2c", "Tsm_filter", false),        Ch("jpx", "Tsm_filter", false),
    Ch("jpc", "Tsm_filter", false),        Ch("cb_portable", "Tsm_filter", false),
    Ch("pbm", "Tsm_filter", false),        Ch("pgm", "Tsm_filter", false),
    Ch("ppm", "Tsm_filter", false),        Ch("pam", "Tsm_filter", false),
    Ch("pfm", "Tsm_filter", false),        Ch("dds", "Tsm_filter", false),
    Ch("tga", "Tsm_filter", false),        Ch("pcx", "Tsm_filter", false),
    Ch("xpm", "Tsm_filter", false),        Rb("alle", "Tsm_filter", true),
    Rb("auswahl", "Tsm_filter", false),
};

// Advanced output settings `Teinstausgabe`.
constexpr TControlDefinition kOutputSettings[] = {
    Cb("out_quality", "GroupBox1", "95", kQualityItems),
    Sb("ScrollBar1", "GroupBox1", 95, 1, 100, "out_quality"),
    Ch("progressivaktiv", "GroupBox2", false),
    Ch("psdlayers", "GroupBox2", true),
};

// Save-profile dialog `Tprofilspeichern`: which groups a profile holds.
constexpr TControlDefinition kProfileDialog[] = {
    Ch("alle", "GroupBox1", false),
    Ch("act_size", "GroupBox1", false),
    Ch("act_drehenspiegeln", "GroupBox1", false),
    Ch("act_farbe", "GroupBox1", false),
    Ch("act_khs", "GroupBox1", false),
    Ch("act_zuschneiden", "GroupBox1", false),
    Ch("act_wasserzeichen", "GroupBox1", false),
    Ch("act_rand", "GroupBox1", false),
    Ch("act_channels", "GroupBox1", false),
    Ch("act_text", "GroupBox1", false),
    Ch("opt_order", "GroupBox1", false),
    Ch("act_weich", "GroupBox1", false),
    Ch("act_hart", "GroupBox1", false),
};

// File renamer `Tdateinamenumbenenner`.
constexpr TControlDefinition kRenamer[] = {
    Ed("quordner", "gb_input", ""),
    Ch("uv", "gb_input", true),
    Ch("suchenersetzen", "gb_suchenersetzen", false),
    Ed("suchenalt", "gb_suchenersetzen", ""),
    Ed("suchenneu", "gb_suchenersetzen", ""),
    Ch("cb_suchendung", "gb_suchenersetzen", false),
    Ch("cb_suchname", "gb_suchenersetzen", true),
    Cb("maske", "gb_maske", "%name%", kMaskItems),
    Cb("numstart", "gb_maske", "1", kNumberStartItems),
};

// Filter window of the renamer `Tdateinamenumbenenner_filter`.
constexpr TControlDefinition kRenamerFilter[] = {
    Rb("alle", "Tdateinamenumbenenner_filter", true),
    Rb("auswahl", "Tdateinamenumbenenner_filter", false),
    Ed("filter", "Tdateinamenumbenenner_filter", "jpg,bmp,txt"),
};

// Shell shortcut settings `Teinstshortcuts`.
constexpr TControlDefinition kShortcuts[] = {
    Ed("beldateien", "Teinstshortcuts", "jpg,bmp,png"),
};

constexpr TWindowDefinition kWindows[] = {
    {"PB", "Tprog", kMainWindow},
    {"PF", "Tsm_filter", kFormatFilter},
    {"EA", "Teinstausgabe", kOutputSettings},
    {"PS", "Tprofilspeichern", kProfileDialog},
    {"DU", "Tdateinamenumbenenner", kRenamer},
    {"DF", "Tdateinamenumbenenner_filter", kRenamerFilter},
    {"SC", "Teinstshortcuts", kShortcuts},
};

// Placement numbers start at the designed client sizes; the front end that shows a
// window centred puts its own top and left in.
constexpr TFixedDefinition kFixed[] = {
    // Font of the text action: Courier New, bold, 21 pixels high (16 points at 96 dpi),
    // in the window text color.
    {"FCE", Num("FSI", 16)},
    {"FCE", Num("FCL", -16777208)},
    {"FCE", {.Kind = K::Text, .Name = "FON", .Text = "Courier New"}},
    {"FCE", Flag("FBO", true)},
    {"FCE", Flag("FIT", false)},
    {"FCE", Flag("FUN", false)},
    {"FCE", Flag("FSO", false)},
    // Main window: maximized, client width and height, top, left, right column width,
    // input area height.
    {"SP", Flag("PF", false)},
    {"SP", Num("PB", 842)},
    {"SP", Num("PH", 696)},
    {"SP", Num("PT", 0)},
    {"SP", Num("PL", 0)},
    {"SP", Num("PR", 316)},
    {"SP", Num("PO", 312)},
    // Renamer window.
    {"SD", Flag("PF", false)},
    {"SD", Num("PB", 592)},
    {"SD", Num("PH", 615)},
    {"SD", Num("PT", 0)},
    {"SD", Num("PL", 0)},
    // Visible areas: input, preview, actions, save options.
    {"PA", Flag("AI", true)},
    {"PA", Flag("AV", true)},
    {"PA", Flag("AA", true)},
    {"PA", Flag("AO", true)},
    // Autosave on exit: never, profile, all; one of them is checked.
    {"AS", Rb("N", "m_konfig_autosave", true)},
    {"AS", Rb("P", "m_konfig_autosave", false)},
    {"AS", Rb("A", "m_konfig_autosave", false)},
    // Close the other option panels when an action is ticked.
    {"AC", Flag("AC", true)},
};

constexpr TActionPanel kActionPanels[] = {
    {"act_size", "apanel11"},        {"act_drehenspiegeln", "apanel21"},
    {"act_farbe", "apanel31"},       {"act_khs", "apanel41"},
    {"act_weich", "apanel41a"},      {"act_hart", "apanel41b"},
    {"act_zuschneiden", "apanel51"}, {"act_rand", "apanel71"},
    {"act_channels", "apanel81"},    {"act_wasserzeichen", "apanel61"},
    {"act_text", "apanel91"},
};

constexpr std::string_view kOptionsPanels[] = {
    "apanel11", "apanel21", "apanel31", "apanel41", "apanel41a", "apanel41b",      "apanel51",
    "apanel61", "apanel71", "apanel81", "apanel91", "apanel101", "apanelweitere1",
};

constexpr std::string_view kBitmapMembers[] = {"bmp", "dib"};
constexpr std::string_view kJpegMembers[] = {"jpg", "jpeg", "jfif", "jpe", "jif"};
constexpr std::string_view kTiffMembers[] = {"tif", "tiff"};
constexpr std::string_view kPhotoshopMembers[] = {"psd", "pdd"};
constexpr std::string_view kJpeg2000Members[] = {"jp2", "j2k", "j2c", "jpx", "jpc"};
constexpr std::string_view kPortableMembers[] = {"pbm", "pgm", "ppm", "pam", "pfm"};
constexpr TFamily kFamilies[] = {
    {"cb_bitmap", kBitmapMembers},    {"cb_jpg", kJpegMembers},
    {"cb_tiff", kTiffMembers},        {"cb_photoshop", kPhotoshopMembers},
    {"cb_jpg2000", kJpeg2000Members}, {"cb_portable", kPortableMembers},
};

constexpr TExclusivePair kExclusivePairs[] = {
    {"act_wz_p_benutzer_oben", "act_wz_p_benutzer_unten"},
    {"act_wz_p_benutzer_links", "act_wz_p_benutzer_rechts"},
    {"act_text_p_benutzer_oben", "act_text_p_benutzer_unten"},
    {"act_text_p_benutzer_links", "act_text_p_benutzer_rechts"},
};

constexpr std::string_view kSizePanels[] = {"apanel10", "apanel11"};
constexpr std::string_view kRotatePanels[] = {"apanel20", "apanel21"};
constexpr std::string_view kColorPanels[] = {"apanel30", "apanel31"};
constexpr std::string_view kContrastPanels[] = {"apanel40", "apanel41"};
constexpr std::string_view kCropPanels[] = {"apanel50", "apanel51"};
constexpr std::string_view kWatermarkPanels[] = {"apanel60", "apanel61", "Panel8"};
constexpr std::string_view kFramePanels[] = {"apanel70", "apanel71"};
constexpr std::string_view kChannelPanels[] = {"apanel80", "apanel81"};
constexpr std::string_view kTextPanels[] = {"apanel90", "apanel91", "Panel9"};
constexpr std::string_view kSharpenPanels[] = {"apanel40b", "apanel41b"};
constexpr std::string_view kBlurPanels[] = {"apanel40a", "apanel41a"};
constexpr TProfileGroup kProfileGroups[] = {
    {"act_size", kSizePanels},        {"act_drehenspiegeln", kRotatePanels},
    {"act_farbe", kColorPanels},      {"act_khs", kContrastPanels},
    {"act_zuschneiden", kCropPanels}, {"act_wasserzeichen", kWatermarkPanels},
    {"act_rand", kFramePanels},       {"act_channels", kChannelPanels},
    {"act_text", kTextPanels},        {"act_hart", kSharpenPanels},
    {"act_weich", kBlurPanels},
};

constexpr std::string_view kOrderLabelsDe[] = {
    "Bildgröße",       "Drehen Spiegeln",  "Farbe",         "Kontr. Hell. Sätt.", "Weichzeichnen",
    "Schärfen",        "Bild zuschneiden", "Rand ums Bild", "Farb Channels",      "Wasserzeichen",
    "Text hinzufügen",
};
constexpr std::string_view kOrderLabelsEn[] = {
    "Image Size",     "Rotate Mirror", "Color",     "Contr. Brightn. Sat.",
    "Blur",           "Sharpness",     "Cut Image", "Draw Frame",
    "Color Channels", "Add Watermark", "Add Text",
};

}  // namespace

std::span<const TWindowDefinition> Windows() {
  return kWindows;
}

std::span<const TFixedDefinition> FixedEntries() {
  return kFixed;
}

std::string OrderKey(int index) {
  std::string key = "r";
  key += std::to_string(index);
  return key;
}

std::string OrderEntryText(int action, TLanguage language) {
  if (action < 1 || action > kOrderEntries)
    throw std::out_of_range("no action " + std::to_string(action));
  const std::string_view label =
      language == TLanguage::De ? kOrderLabelsDe[action - 1] : kOrderLabelsEn[action - 1];
  std::string text = action < 10 ? "0" : "";
  text += std::to_string(action);
  text += "   ";
  text += label;
  return text;
}

std::optional<int> OrderEntryAction(std::string_view text) {
  const std::optional<int32_t> number = core::ParseIntegerText(text.substr(0, 2));
  if (!number || *number < 1 || *number > kOrderEntries) return std::nullopt;
  return *number;
}

std::span<const TActionPanel> ActionPanels() {
  return kActionPanels;
}

std::span<const std::string_view> OptionsPanels() {
  return kOptionsPanels;
}

std::span<const TFamily> FormatFamilies() {
  return kFamilies;
}

std::span<const TExclusivePair> ExclusivePairs() {
  return kExclusivePairs;
}

std::span<const TProfileGroup> ProfileGroups() {
  return kProfileGroups;
}

std::vector<std::string> SplitItems(std::string_view items) {
  std::vector<std::string> result;
  if (items.empty()) return result;
  size_t start = 0;
  while (true) {
    const size_t bar = items.find('|', start);
    result.emplace_back(items.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return result;
}

}  // namespace pixolan::config::definition
