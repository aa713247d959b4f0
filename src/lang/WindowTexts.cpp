#include "lang/WindowTexts.h"

#include <algorithm>
#include <string>
#include <utility>

namespace pixolan::lang {

namespace {

// Controls not listed keep their form text in both languages (the size presets, the
// pick buttons, unit labels, the frame transparency label, the font name label).
constexpr TControlText kMainWindowTexts[] = {
    // Bottom bar and area buttons
    {"durchfuehren", "caption", "Konvertieren und Speichern", "Convert and Save"},
    {"max_input", "hint", "Input Bereich maximieren", "Maximize Input Area"},
    {"max_input", "text", "Input", "Input"},
    {"max_vorschau", "hint", "Vorschau maximieren", "Maximize Preview Area"},
    {"max_vorschau", "text", "Vorschau", "Preview"},
    {"max_aktionen", "hint", "Aktionen maximieren", "Maximize Actions Area"},
    {"max_aktionen", "text", "Aktionen", "Actions"},
    {"max_output", "hint", "Speicheroptionen maximieren", "Maximize Saving Options"},
    {"max_output", "text", "Speichern", "Save"},
    {"close_input", "hint", "Input Bereich minimieren", "Minimize Input Area"},
    {"close_vorschau", "hint", "Vorschau minimieren", "Minimize Preview Area"},
    {"close_actions", "hint", "Aktionen minimieren", "Minimize Actions Area"},
    {"close_output", "hint", "Speicheroptionen minimieren", "Minimize Saving Options"},
    // Input area
    {"box_dat_top", "text", " Dateien", " Files"},
    {"Label1", "caption",
     "Ziehen Sie die zu bearbeitenden Bilder in die Liste oder öffnen Sie einen Ordner.",
     "Drag the Files to be worked on to this List or open a Folder."},
    {"OpenOrdner", "text", "Ordner Öffnen..", "Open Folder.."},
    {"bitbtn1", "text", "Filter..", "Filter.."},
    {"inp_uv", "caption", "Unterverzeichnisse durchsuchen", "Search Subfolders"},
    {"inp_ow", "caption", "Ordner überwachen", "Watch Content of Folder"},
    {"inp_cbwatch", "caption", "Bilder aus Zwischenablage", "Get Images from Clipboard"},
    {"qulist", "column 0", "Name", "Name"},
    {"qulist", "column 1", "Typ", "Type"},
    {"qulist", "column 2", "Breite", "Width"},
    {"qulist", "column 3", "Höhe", "Height"},
    {"qulist", "column 4", "Größe", "Filesize"},
    {"qulist", "column 5", "Dateipfad", "Filepath"},
    {"BitBtn3", "text", "Markierte entfernen", "Remove Selected"},
    {"BitBtn2", "text", "Alle entfernen", "Remove All"},
    // Preview area
    {"box_vor_top", "text", " Vorschau", " Preview"},
    {"vor_okay", "caption", "Vorschau", "Preview"},
    {"Label10", "caption", "Größe:", "Size:"},
    {"Label11", "caption", "Originaldatei:", "Original File:"},
    {"Label12", "caption", "Neue Datei:", "New File:"},
    {"vor_resize", "text", "<Anpassen>", "<Adjust>"},
    {"vor_resize", "item 0", "<Anpassen>", "<Adjust>"},
    {"vor_resize", "item 1", "<Originalgröße>", "<Original Size>"},
    {"vor_resize", "item 2", "<Fenstergröße>", "<Window Size>"},
    // Save options area
    {"box_sav_top", "text", " Speichern", " Save"},
    {"Label41", "caption", "Wie sollen die Bilder gespeichert werden?",
     "How shall the Images be saved? "},
    {"out_overwrite", "caption", "Originalbild überschreiben", "Overwrite Original File"},
    {"out_newimage", "caption", "Als neues Bild speichern:", "Save as new File:"},
    {"Label9", "caption", "Ordner:", "Folder:"},
    {"outordnerbt", "text", "Ordner Wählen..", "Choose Folder.."},
    {"Label7", "caption", "Name:", "Name:"},
    {"Label8", "caption", "Format:", "Format:"},
    {"out_deleteoriginal", "caption", "Originaldateien löschen", "Delete Original Files"},
    // Actions area heading
    {"box_akt_top", "text", " Aktionen", " Actions"},
    {"Label6", "caption", "Wie sollen die Bilder bearbeitet werden?",
     "How shall the Images be processed?"},
    // Action 1, resize
    {"act_size", "caption", "Bildgröße ändern", "Change Image Size"},
    {"act_size_bb", "text", "Optionen", "Options"},
    {"Label2", "caption", "Maximalgröße:", "Maximum Size:"},
    {"act_sizebenutzer", "caption", "Benutzerdefiniert:", "User-Defined:"},
    {"Label3", "caption", "Optionen:", "Options:"},
    {"act_sizeprop", "caption", "Proportionen behalten", "Retain Proportions"},
    {"act_sizehochquerformat", "caption", "Unterscheidung zwischen Hoch- und Querformat",
     "Distinction between Landscape and Portrait"},
    {"act_sizebigger", "caption", "Ändern wenn Ursprungsbild größer als Maximalgröße",
     "Process if Original is larger than Maximum Size"},
    {"act_sizekleiner", "caption", "Ändern wenn Ursprungsbild kleiner als Maximalgröße",
     "Process if Original is smaller than Maximum Size"},
    {"Label4", "caption", "Methode der Vergrößerung oder Verkleinerung:", "Resize Method:"},
    // Action 2, rotate and mirror
    {"act_drehenspiegeln", "caption", "Drehen und Spiegeln", "Rotate and Mirror"},
    {"act_drehenspiegeln_bb", "text", "Optionen", "Options"},
    {"act_spiegelnvert", "caption", "Vertikal Spiegeln", "Flip Vertically"},
    {"act_spiegelnhor", "caption", "Horizontal Spiegeln", "Flip Horizontally"},
    {"act_drehen", "caption", "Drehen um den Winkel:", "Rotate to this Angle:"},
    // Action 3, color
    {"act_farbe", "caption", "Farbe", "Color"},
    {"act_farbe_bb", "text", "Optionen", "Options"},
    {"Label26", "caption", "Rot (Werte von -300 bis 300) (0 ist keine Änderung):",
     "Red (Values from -300 to 300) (0 is no Change):"},
    {"Label28", "caption", "Grün (Werte von -300 bis 300) (0 ist keine Änderung):",
     "Green (Values from -300 to 300) (0 is no Change):"},
    {"Label29", "caption", "Blau (Werte von -300 bis 300) (0 ist keine Änderung):",
     "Blue (Values from -300 to 300) (0 is no Change):"},
    {"act_farbe_kolorieren", "caption", "Bild mit den Rot-Grün-Blau-Werte kolorieren",
     "Color Image with the Red-Green-Blue Values"},
    {"act_farbegamma", "caption", "Gamma-Korrektur (Werte ab 0) (1,0 = keine Änderung):",
     "Gamma-Correction (Values from 0) (1,0 is no Change):"},
    {"Label21", "caption", "Rot", "Red"},
    {"Label23", "caption", "Grün", "Green"},
    {"Label24", "caption", "Blau", "Blue"},
    {"Label20", "caption", "Farboptionen", "Color Options:"},
    {"act_farbenegativ", "caption", "Farben invertieren (Negativ)", "Invert Colors (Negative)"},
    {"act_farbereduzieren", "caption",
     "Farben reduzieren auf soviele Farben:", "Reduce Colors to so many Colors:"},
    {"act_farbevertauschen", "caption", "Diese Farben vertauschen:", "Swap this Colors:"},
    {"Label27", "caption", "nach", "to"},
    // Action 4, contrast, brightness, saturation
    {"act_khs", "caption", "Kontrast Helligkeit Sättigung", "Brightness Contrast Saturation"},
    {"act_khs_bb", "text", "Optionen", "Options"},
    {"Label18", "caption", "Kontrast (Werte von -300 bis 300) (0 ist keine Änderung):",
     "Contrast (Values from -300 to 300) (0 is no Change):"},
    {"Label19", "caption", "Helligkeit (Werte von -300 bis 300) (0 ist keine Änderung):",
     "Brightness (Values from -300 to 300) (0 is no Change):"},
    {"Label25", "caption", "Sättigung (Werte von -300 bis 300) (0 ist keine Änderung):",
     "Saturation (Values from -300 to 300) (0 is no Change):"},
    // Action 5, blur
    {"act_weich", "caption", "Weichzeichnen", "Blur"},
    {"act_weich_bb", "text", "Optionen", "Options"},
    {"Label68", "caption",
     "Horizontale und vertikale Ausdehnung:", "Horizontal and Vertical Circumcircle:"},
    {"act_weich_gauss", "caption", "Verwendung des Gaußschen Weichzeichners",
     "Application of Gaussian Blur"},
    // Action 6, sharpen
    {"act_hart", "caption", "Schärfen", "Sharpness"},
    {"act_hart_bb", "text", "Optionen", "Options"},
    {"Label69", "caption", "Stärke des Schärfens:", "Intensity of Sharpening:"},
    {"Label70", "caption",
     "Horizontale und vertikale Ausdehnung:", "Horizontal and Vertical Circumcircle:"},
    // Action 7, crop
    {"act_zuschneiden", "caption", "Bild zuschneiden", "Cut Image to Size"},
    {"act_zuschneiden_bb", "text", "Optionen", "Options"},
    {"Label13", "caption", "Pixelanzahl:", "Number of Pixels:"},
    {"Label14", "caption", "Links", "Left"},
    {"Label15", "caption", "Rechts", "Right"},
    {"Label16", "caption", "Oben", "Above"},
    {"Label17", "caption", "Unten", "Below"},
    {"rb_zuschn_abschneiden", "caption", "Pixel von den jeweiligen Seiten abschneiden",
     "Crop Pixels from the respective Sides"},
    {"rb_zuschn_beibehalten", "caption", "Pixel an den jeweiligen Seiten beibehalten",
     "Keep Pixels on the respective Sides"},
    // Action 8, frame
    {"act_rand", "caption", "Rand um das Bild zeichnen", "Draw Frame around the Image"},
    {"act_rand_bb", "text", "Optionen", "Options"},
    {"Label36", "caption", "Breite des Randes:", "Width of Frame:"},
    {"Label38", "caption", "Farbe des Randes:", "Color of Frame:"},
    {"BitBtn6", "text", "Farbe Wählen..", "Choose Color.."},
    {"act_randhinzu", "caption", "Rand um das Originalbild ziehen (Bild wird größer)",
     "Enlarge Original Image for the Frame"},
    // Action 9, color channels
    {"act_channels", "caption", "Farb Channels", "Color Channels"},
    {"act_channels_bb", "text", "Optionen", "Options"},
    {"Label46", "caption", "RGB oder CMYK Channels:", "RGB or CMYK Channels:"},
    {"act_channels_rgb", "caption", "RGB Channels", "RGB Channels"},
    {"act_channel_rot", "caption", "Rot", "Red"},
    {"act_channel_gruen", "caption", "Grün", "Green"},
    {"act_channel_blau", "caption", "Blau", "Blue"},
    {"act_channels_cmyk", "caption", "CMYK Channels", "CMYK Channels"},
    {"act_channel_c", "caption", "Cyan", "Cyan"},
    {"act_channel_m", "caption", "Magenta", "Magenta"},
    {"act_channel_y", "caption", "Yellow", "Yellow"},
    {"act_channel_k", "caption", "Keyplate", "Keyplate"},
    {"Label47", "caption", "Fehlende Channel ersetzen mit:", "Set missing Channels to:"},
    // Action 10, watermark
    {"act_wasserzeichen", "caption", "Wasserzeichen oder Bild einfügen", "Add Watermark or Image"},
    {"act_wasserzeichen_bb", "text", "Optionen", "Options"},
    {"Label22", "caption", "Bilddatei (Zum Laden auf \"Bild Öffnen\" klicken):",
     "Image Source (Click on \"Open Image\" to load):"},
    {"BitBtn4", "text", "Bild Öffnen..", "Open Image.."},
    {"Label30", "caption", "Transparenz (Werte 0 bis 100) (0: keine, 100: maximal):",
     "Transparency (Values 0 to 100) (0: no, 100: maximum):"},
    {"Label32", "caption", "Größe des Bildes:", "Size of Image:"},
    {"act_wz_g_original", "caption", "Originalgröße der Wasserzeichen-Datei",
     "Original Size of Watermark-File"},
    {"act_wz_g_resize", "caption", "Größe des zu bearbeitenden Bildes",
     "Size of Images to be processed"},
    {"act_wz_g_benutzer", "caption", "Benutzerdefiniert:", "User-Defined:"},
    {"Label33", "caption", "Position des Bildes:", "Position of the Watermark:"},
    {"act_wz_p_mittig", "caption", "Mittig", "Centered"},
    {"act_wz_p_benutzer", "caption", "Benutzerdefiniert:", "User-Defined:"},
    {"act_wz_p_benutzer_oben", "caption", "links", "left"},
    {"act_wz_p_benutzer_unten", "caption", "rechts", "right"},
    {"act_wz_p_benutzer_links", "caption", "oben", "above"},
    {"act_wz_p_benutzer_rechts", "caption", "unten", "below"},
    {"Label34", "caption", "Pixel von", "Pixels from"},
    {"Label35", "caption", "Pixel von", "Pixels from"},
    {"act_wz_transpfarbeaktiv", "caption",
     "Diese Farbe als transparente Farbe verwenden:", "Use this Color for Transparency:"},
    {"BitBtn5", "text", "Farbe Wählen..", "Choose Color.."},
    // Action 11, text
    {"act_text", "caption", "Text hinzufügen", "Add Text"},
    {"act_text_bb", "text", "Optionen", "Options"},
    {"Label48", "caption", "Dieser Text wird eingefügt:", "This Text will be inserted:"},
    {"Label64", "caption", "Schriftart:", "Font:"},
    {"Label63", "caption", "Schriftfarbe:", "Font Color:"},
    {"Label66", "caption", "Hintergrund:", "Background:"},
    {"act_text_hgtransparent", "caption", "Transparenten Hintergrund verwenden",
     "Use Transparent Background"},
    {"BitBtn11", "text", "Schriftart..", "Font.."},
    {"BitBtn14", "text", "Auswählen", "Choose"},
    {"BitBtn15", "text", "Auswählen", "Choose"},
    {"Label49", "caption", "Transparenz (Werte 0 bis 100) (0: keine, 100: maximal):",
     "Transparency (Values 0 to 100) (0: no, 100: maximum):"},
    {"Label50", "caption", "Größe des Schriftzugs:", "Size of Text:"},
    {"act_text_g_schrift", "caption", "An Schriftgröße orientieren", "Orientate on Font"},
    {"act_text_g_resize", "caption", "Größe des zu bearbeitenden Bildes",
     "Size of Images to be processed"},
    {"act_text_g_benutzer", "caption", "Benutzerdefiniert:", "User-Defined:"},
    {"Label52", "caption", "Position des Schriftzugs:", "Position of the Text:"},
    {"act_text_p_mittig", "caption", "Mittig", "Centered"},
    {"act_text_p_benutzer", "caption", "Benutzerdefiniert:", "User-Defined:"},
    {"act_text_p_benutzer_oben", "caption", "links", "left"},
    {"act_text_p_benutzer_unten", "caption", "rechts", "right"},
    {"act_text_p_benutzer_links", "caption", "oben", "above"},
    {"act_text_p_benutzer_rechts", "caption", "unten", "below"},
    {"Label53", "caption", "Pixel von", "Pixels from"},
    {"Label54", "caption", "Pixel von", "Pixels from"},
    {"la_add_text_placeholder1", "caption", "Platzhalter:", "Placeholders:"},
    {"la_add_text_placeholder2", "caption",
     "Im Text können Platzhalter verwendet werden. Eine Über-",
     "You can use placeholders in your text. An overview can"},
    {"la_add_text_placeholder3", "caption", "sicht finden Sie auf unserer Webseite.",
     "be found on our web site."},
    // Order of actions panel
    {"Label55", "caption", "Reihenfolge der Aktionen", "Order of Actions"},
    {"Label62", "caption", "Optionen", "Options"},
    {"des_tab_bb", "text", "Optionen", "Options"},
    {"BitBtn7", "text", "Nach oben", "Move Up"},
    {"BitBtn10", "text", "Nach unten", "Move Down"},
    {"Label56", "caption", "So wie die Aktionen in", "As the Actions are"},
    {"Label57", "caption", "der Box von oben nach", "sorted from top to"},
    {"Label58", "caption", "unten sortiert sind,", "bottom in the list, "},
    {"Label59", "caption", "werden sie nacheinander", "they are applied"},
    {"Label60", "caption", "angewendet.", "on the Image."},
    // More functions panel
    {"Label61", "caption", "Weitere Funktionen", "More Functions"},
    {"act_weitere", "text", "Optionen", "Options"},
    {"Label42", "caption", "Diese Software wird ständig erweitert und verbessert.",
     "This software is constantly upgraded and improved."},
    {"Label43", "caption", "Sollten Sie sich weitere Funktionen wünschen oder für",
     "If you would like to have more features or you have"},
    {"Label44", "caption", "vorhandene Verbesserungsvorschläge haben, schreiben",
     "some ideas for improvement to existing functions,"},
    {"Label45", "caption", "Sie uns bitte über unsere Support-Seite. Vielen Dank!",
     "please write to us on our support page. Thank you!"},
};

constexpr TNamedText kLanguageTexts[] = {
    {"TextChooseFolder", "Wählen Sie einen Ordner, in dem die Dateien gespeichert werden.",
     "Choose a Folder for Output"},
    {"TextImagesSuffix", " Bilder", " Images"},
    {"TextImageSuffix", " Bild", " Image"},
    {"TextProcessing", "Bilder werden bearbeitet", "Processing"},
    {"TextCurrentImage", "Aktuelles Bild:", "Current Image:"},
    {"TextImagesAnalyzed", " Bilder analysiert", " Images analyzed"},
    {"TextImagesFound", " Bilder gefunden", " Images found"},
    {"TextAnalyzingImages", "Bilder werden analysiert", "Analyzing Images"},
    {"TextSearchingImages", "Bilder werden gesucht", "Searching for Images"},
    {"TextImagesAdded", " Bilder werden hinzugefügt", " Images added"},
    // The configuration dialogs and the first group of the image open dialog's filter.
    {"TextConfigurationFileName", "Konfiguration.pxc", "Configuration.pxc"},
    {"TextConfigurationFilter", "Pixolan Konfiguration|*.pxc", "Pixolan Configuration|*.pxc"},
    {"TextAnyReadableFiles", "Alle lesbaren Dateien", "Any readable Files"},
    {"TextOpenImagesTitle", "Öffnen..", "Open.."},
};

// Menu bar and context menu of the main window; shortcuts are the same in both languages.
constexpr TWindowText kMenuTexts[] = {
    {"Tprog", "m_datei", "caption", "Datei", "File"},
    {"Tprog", "m_datei_open", "caption", "Bilder öffnen", "Open Images"},
    {"Tprog", "m_datei_open", "shortcut", "Ctrl+O", "Ctrl+O"},
    {"Tprog", "m_datei_ordner", "caption", "Ordner mit Bildern öffnen..",
     "Open Folder with Images.."},
    {"Tprog", "m_dateiliste_save", "caption", "Dateiliste speichern..", "Save File List.."},
    {"Tprog", "m_dateiliste_open", "caption", "Dateiliste öffnen..", "Open File List.."},
    {"Tprog", "m_datei_delmark", "caption", "Markierte Bilder aus Bilderliste löschen",
     "Delete selected Images from List"},
    {"Tprog", "m_datei_delall", "caption", "Ganze Bilderliste löschen",
     "Delete all Images from List"},
    {"Tprog", "m_datei_konvert", "caption", "Konvertieren und Speichern", "Convert and Save"},
    {"Tprog", "m_datei_konvert", "shortcut", "Ctrl+S", "Ctrl+S"},
    {"Tprog", "m_datei_vorschau", "caption", "Vorschau", "Preview"},
    {"Tprog", "m_datei_vorschau", "shortcut", "Ctrl+Q", "Ctrl+Q"},
    {"Tprog", "m_datei_vorschauaktualisieren", "caption", "Vorschau aktualisieren",
     "Refresh Preview"},
    {"Tprog", "m_datei_vorschauaktualisieren", "shortcut", "Ctrl+W", "Ctrl+W"},
    {"Tprog", "m_datei_dateiumb", "caption", "Dateien nur umbenennen..", "Only rename Files.."},
    {"Tprog", "m_bug", "caption", "Fehler oder Verbesserung melden..",
     "Report Bug or Improvement.."},
    {"Tprog", "m_datei_beenden", "caption", "Beenden", "Close"},
    {"Tprog", "m_einst", "caption", "Einstellungen", "Settings"},
    {"Tprog", "m_einst_ausgabe", "caption", "Erweiterte Ausgabe Einstellungen..",
     "Advanced Output Settings.."},
    {"Tprog", "m_einst_filter", "caption", "Filter für Ordnersuche..",
     "Filter for Search in Folder.."},
    {"Tprog", "m_einst_vor_hg", "caption", "Vorschaufenster Hintergrundfarbe..",
     "Preview Window: Background Color.."},
    {"Tprog", "m_einst_vor_randfarbe", "caption", "Vorschaufenster Randfarbe..",
     "Preview Window: Frame Color.."},
    {"Tprog", "m_einst_vor_rand", "caption", "Vorschaufenster Randstärke..",
     "Preview Window: Frame Width.."},
    {"Tprog", "m_rand0", "caption", "Keiner", "No One"},
    {"Tprog", "m_rand1", "caption", "1 Pixel", "1 Pixel"},
    {"Tprog", "m_rand2", "caption", "2 Pixel", "2 Pixel"},
    {"Tprog", "m_rand5", "caption", "5 Pixel", "5 Pixel"},
    {"Tprog", "m_rand10", "caption", "10 Pixel", "10 Pixel"},
    {"Tprog", "m_rand25", "caption", "25 Pixel", "25 Pixel"},
    {"Tprog", "m_rand100", "caption", "100 Pixel", "100 Pixel"},
    {"Tprog", "m_einst_autocloseactions", "caption", "Aktionen automatisch minimieren",
     "Minimize Actions automatically"},
    {"Tprog", "m_einst_vorschau", "caption", "Vorschau aktivieren/deaktivieren",
     "Activate/Deactivate Preview"},
    {"Tprog", "m_einst_vorschau", "shortcut", "F7", "F7"},
    {"Tprog", "m_einstshortcuts", "caption", "Verknüpfungen mit Dateien und Ordnern..",
     "Shortcuts with Files and Folders.."},
    {"Tprog", "m_einst_sprache", "caption", "Sprache", "Language"},
    {"Tprog", "m_einst_sprache_deutsch", "caption", "Deutsch", "Deutsch"},
    {"Tprog", "m_einst_sprache_english", "caption", "English", "English"},
    {"Tprog", "m_anz", "caption", "Ansicht", "View"},
    {"Tprog", "m_anz_input", "caption", "Input", "Input"},
    {"Tprog", "m_anz_vorschau", "caption", "Vorschau", "Preview"},
    {"Tprog", "m_anz_aktionen", "caption", "Aktionen", "Actions"},
    {"Tprog", "m_anz_output", "caption", "Speicheroptionen", "Saving Options"},
    {"Tprog", "m_konfig", "caption", "Konfiguration", "Configuration"},
    {"Tprog", "m_konfig_save", "caption", "Aktuelle Konfiguration speichern",
     "Save current Configuration"},
    {"Tprog", "m_konfig_save_start", "caption",
     "Aktuelle Konfiguration als Startkonfiguration speichern (auto.pxc)",
     "Save current Configuration as Start Configuration (auto.pxc)"},
    {"Tprog", "m_konfig_save_profil", "caption", "Profil speichern..", "Save Profile.."},
    {"Tprog", "m_konfig_load", "caption", "Konfiguration oder Profil laden",
     "Load Configuration or Profile"},
    {"Tprog", "m_konfig_load", "shortcut", "Ctrl+K", "Ctrl+K"},
    {"Tprog", "m_konfig_autosave", "caption", "Konfiguration beim Beenden speichern",
     "Auto Save Settings on Exit"},
    {"Tprog", "m_konfig_autosave_nie", "caption", "Nicht speichern", "Never"},
    {"Tprog", "m_konfig_autosave_alles", "caption", "Alles speichern", "Save all"},
    {"Tprog", "m_konfig_autosave_profil", "caption", "Profil speichern", "Save Profile"},
    {"Tprog", "m_konfig_standard", "caption", "Alle Einstellungen zurücksetzen",
     "Reset all Settings"},
    {"Tprog", "m_konfig_standard", "shortcut", "F2", "F2"},
    {"Tprog", "m_konfig_start", "caption", "Startkonfiguration (auto.pxc) laden wenn vorhanden",
     "Load Start Configuration (auto.pxc) if possible"},
    {"Tprog", "m_konfig_start", "shortcut", "F3", "F3"},
    {"Tprog", "m_tools", "caption", "Tools", "Tools"},
    {"Tprog", "m_tools_dateiumb", "caption", "Renolo..", "Renolo.."},
    {"Tprog", "pop1", "caption", "Übergeordneten Ordner öffnen", "Open corresponding Folder"},
    {"Tprog", "pop2", "caption", "Dateiinformationen anzeigen", "Show File Information"},
    {"Tprog", "pop3", "caption", "Markierte Bilder in die Zwischenablage kopieren",
     "Copy selected Images to Clipboard"},
    {"Tprog", "pop4", "caption", "Markierte Bilder aus der Liste löschen",
     "Delete selected Images from List"},
};

// The dialogs. Controls the windows do not name are called by their place ("line 1",
// "window title", "button Yes").
constexpr TWindowText kDialogTexts[] = {
    {"Tsm_bearbeitung", "Abbrechen", "caption", "Abbrechen", "Break"},
    {"Tsm_meldung", "OK", "caption", "OK", "OK"},
    {"Tsm_meldung", "OKalle", "caption", "OK für alle", "OK for all"},
    {"Tsm_achtung", "title label", "caption", "Datei bereits vorhanden", "File already exists"},
    {"Tsm_achtung", "line 1", "caption",
     "Die folgende Datei ist bereits vorhanden:", "The following File is already exists:"},
    {"Tsm_achtung", "line 3", "caption",
     "Soll diese Datei mit der neuen Datei überschrieben werden?",
     "Shall this File be overwritten with the new File? "},
    {"Tsm_achtung", "line 4", "caption",
     "Überschriebene Dateien können nicht wiederhergestellt werden.",
     "Overwritten Files cannot be restored. "},
    {"Tsm_achtung", "button Cancel", "caption", "Abbrechen", "Break"},
    {"Tsm_achtung", "button YesForAll", "caption", "Ja für alle", "Yes for all"},
    {"Tsm_achtung", "button Yes", "caption", "Ja", "Yes"},
    {"Tsm_achtung", "button No", "caption", "Nein", "No"},
    {"Tsm_achtung", "button NoForAll", "caption", "Nein für alle", "No for all"},
    {"Teinstausgabe", "window title", "caption", "Erweiterte Einstellungen Ausgabe",
     "Output Settings"},
    {"Teinstausgabe", "Label1", "caption",
     "Diese Einstellungen gelten für die Ausgabe und werden in der Vorschau nicht berücksichigt.",
     "These Settings apply to the Output and they are not taken into account in the Preview."},
    {"Teinstausgabe", "GroupBox1", "caption", "Bildqualität", "Image Quality"},
    {"Teinstausgabe", "Label6", "caption",
     "Ausgabe-Qualität für Formate JPEG, JNG, MNG und JPG2000",
     "Output Quality for Formats JPEG, JNG, MNG and JPG2000"},
    {"Teinstausgabe", "GroupBox2", "caption", "Optionen", "Options"},
    {"Teinstausgabe", "progressivaktiv", "caption",
     "Progressiv-Funktion für Formate JPEG, JNG und MNG verwenden",
     "Use Progressiv-Function for Formats JPEF, JNG and MNG"},
    {"Teinstausgabe", "psdlayers", "caption", "Bild als Ebene einfügen im Photoshop Format PSD",
     "Insert image as layer in format PSD (Photoshop)"},
    {"Teinstausgabe", "Button1", "caption", "OK", "OK"},
    {"Tsm_filter", "alle", "caption", "Alle unterstützten Formate", "All supported Formats"},
    {"Tsm_filter", "auswahl", "caption",
     "Auswahl folgender Formate:", "Only the following selected Formats:"},
    {"Tsm_filter", "cb_bitmap", "caption", "Windows Bitmap", "Windows Bitmap"},
    {"Tsm_filter", "cb_jpg", "caption", "JPEG (Joint Photographic Experts Group)",
     "JPEG (Joint Photographic Experts Group)"},
    {"Tsm_filter", "cb_tiff", "caption", "Tagged Image File Format", "Tagged Image File Format"},
    {"Tsm_filter", "cb_photoshop", "caption", "Photoshop", "Photoshop"},
    {"Tsm_filter", "cb_jpg2000", "caption", "JPEG 2000", "JPEG 2000"},
    {"Tsm_filter", "cb_portable", "caption", "Portable Bit/Gray/Pixel/Arbitrary Map",
     "Portable Bit/Gray/Pixel/Arbitrary Map"},
    {"Tsm_filter", "bmp", "caption", "*.bmp", "*.bmp"},
    {"Tsm_filter", "dib", "caption", "*.dib", "*.dib"},
    {"Tsm_filter", "jpg", "caption", "*.jpg", "*.jpg"},
    {"Tsm_filter", "jpeg", "caption", "*.jpeg", "*.jpeg"},
    {"Tsm_filter", "jfif", "caption", "*.jfif", "*.jfif"},
    {"Tsm_filter", "jpe", "caption", "*.jpe", "*.jpe"},
    {"Tsm_filter", "jif", "caption", "*.jif", "*.jif"},
    {"Tsm_filter", "tif", "caption", "*.tif", "*.tif"},
    {"Tsm_filter", "tiff", "caption", "*.tiff", "*.tiff"},
    {"Tsm_filter", "psd", "caption", "*.psd", "*.psd"},
    {"Tsm_filter", "pdd", "caption", "*.pdd", "*.pdd"},
    {"Tsm_filter", "jp2", "caption", "*.jp2", "*.jp2"},
    {"Tsm_filter", "j2k", "caption", "*.j2k", "*.j2k"},
    {"Tsm_filter", "j2c", "caption", "*.j2c", "*.j2c"},
    {"Tsm_filter", "jpx", "caption", "*.jpx", "*.jpx"},
    {"Tsm_filter", "jpc", "caption", "*.jpc", "*.jpc"},
    {"Tsm_filter", "pbm", "caption", "*.pbm", "*.pbm"},
    {"Tsm_filter", "pgm", "caption", "*.pgm", "*.pgm"},
    {"Tsm_filter", "ppm", "caption", "*.ppm", "*.ppm"},
    {"Tsm_filter", "pam", "caption", "*.pam", "*.pam"},
    {"Tsm_filter", "pfm", "caption", "*.pfm", "*.pfm"},
    {"Tsm_filter", "png", "caption", "Portable Network Graphics (*.png)",
     "Portable Network Graphics (*.png)"},
    {"Tsm_filter", "mng", "caption", "Multiple Network Graphics (*.mng)",
     "Multiple Network Graphics (*.mng)"},
    {"Tsm_filter", "jng", "caption", "JPEG Network Graphics (*.jng)",
     "JPEG Network Graphics (*.jng)"},
    {"Tsm_filter", "gif", "caption", "Graphics Interchange Format (*.gif)",
     "Graphics Interchange Format (*.gif)"},
    {"Tsm_filter", "ico", "caption", "Windows Icon (*.ico)", "Windows Icon (*.ico)"},
    {"Tsm_filter", "cur", "caption", "Windows Cursor (*.cur)", "Windows Cursor (*.cur)"},
    {"Tsm_filter", "dds", "caption", "DirectDraw Surface (*.dds)", "DirectDraw Surface (*.dds)"},
    {"Tsm_filter", "tga", "caption", "Truevision Targa (*.tga)", "Truevision Targa (*.tga)"},
    {"Tsm_filter", "pcx", "caption", "ZSoft Paintbrush (*.pcx)", "ZSoft Paintbrush (*.pcx)"},
    {"Tsm_filter", "xpm", "caption", "X Window Pixmap (*.xpm)", "X Window Pixmap (*.xpm)"},
    {"Tsm_filter", "Button1", "caption", "OK", "OK"},
    {"Tprofilspeichern", "window title", "caption", "Profil Speichern", "Save Profile"},
    {"Tprofilspeichern", "GroupBox1", "caption", "Einstellungen", "Settings"},
    {"Tprofilspeichern", "settings line", "caption",
     "Nur die folgenden Einstellungen werden gespeichert:",
     "Only the following Settings will be stored:"},
    {"Tprofilspeichern", "act_size", "caption", "Bildgröße ändern", "Change Image Size"},
    {"Tprofilspeichern", "act_drehenspiegeln", "caption", "Drehen und Spiegeln",
     "Rotate and Mirror"},
    {"Tprofilspeichern", "act_farbe", "caption", "Farbe", "Color"},
    {"Tprofilspeichern", "act_khs", "caption", "Kontrast, Helligkeit und Sättigung",
     "Brightness, Contrast and Saturation"},
    {"Tprofilspeichern", "act_hart", "caption", "Schärfe", "Sharpness"},
    {"Tprofilspeichern", "act_weich", "caption", "Weichzeichnen", "Blur"},
    {"Tprofilspeichern", "act_zuschneiden", "caption", "Bild zuschneiden", "Cut Image to Size"},
    {"Tprofilspeichern", "act_wasserzeichen", "caption", "Wasserzeichen oder Bild einfügen",
     "Add Watermark or Image"},
    {"Tprofilspeichern", "act_rand", "caption", "Rand um das Bild zeichen",
     "Draw Frame around the Image"},
    {"Tprofilspeichern", "act_channels", "caption", "Farb Channels", "Color Channels"},
    {"Tprofilspeichern", "act_text", "caption", "Text einfügen", "Add Text"},
    {"Tprofilspeichern", "opt_order", "caption", "Reihenfolge der Aktionen", "Order of Actions"},
    {"Tprofilspeichern", "alle", "caption", "Alle aktivieren oder deaktivieren",
     "Activate or Deactivate all"},
    {"Tprofilspeichern", "information line", "caption",
     "Informationen zum Speichern als Profil erhalten Sie auf:",
     "Information regarding Profile Saving, you can get on:"},
    {"Tprofilspeichern", "Button1", "caption", "Profil Speichern", "Save Profile"},
    {"Tprofilspeichern", "Button2", "caption", "Abbrechen", "Cancel"},
};

// Groups of the image open dialog's filter; the first one takes the patterns of all others.
struct TFilterGroupText {
  std::string_view German, English, Patterns;
};
constexpr TFilterGroupText kOpenFilterGroups[] = {
    {"Alle lesbaren "
     "Dateien(*.bmp,*.dib,*.jpg,*.jpeg,*.jfif,*.jpe,*.jif,*.gif,*.png,*.mng,*.jng,*.ico,*.cur,*."
     "tif,*.tiff,*.psd,*.pdd,*.pbm,*.pgm,*.ppm,*.pam,*.pfm,*.jp2,*.j2k,*.j2c,*.jpx,*.jpc,*.dds,*."
     "tga,*.pcx,*.xpm)",
     "Any readable "
     "Files(*.bmp,*.dib,*.jpg,*.jpeg,*.jfif,*.jpe,*.jif,*.gif,*.png,*.mng,*.jng,*.ico,*.cur,*.tif,*"
     ".tiff,*.psd,*.pdd,*.pbm,*.pgm,*.ppm,*.pam,*.pfm,*.jp2,*.j2k,*.j2c,*.jpx,*.jpc,*.dds,*.tga,*."
     "pcx,*.xpm)",
     ""},
    {"Windows Bitmap (*.bmp,*.dib)", "Windows Bitmap (*.bmp,*.dib)", "*.bmp;*.dib"},
    {"JPEG-Bilder (*.jpg,*.jpeg,*.jfif,*.jpe,*.jif)",
     "JPEG-Images (*.jpg,*.jpeg,*.jfif,*.jpe,*.jif)", "*.jpg;*.jpeg;*.jfif;*.jpe;*.jif"},
    {"Graphics Interchange Format (*.gif)", "Graphics Interchange Format (*.gif)", "*.gif"},
    {"Portable Network Graphics (*.png)", "Portable Network Graphics (*.png)", "*.png"},
    {"Multiple Network Graphics (*.mng)", "Multiple Network Graphics (*.mng)", "*.mng"},
    {"JPEG Network Graphics (*.jng)", "JPEG Network Graphics (*.jng)", "*.jng"},
    {"Windows Icon (*.ico)", "Windows Icon (*.ico)", "*.ico"},
    {"Windows Cursor (*.cur)", "Windows Cursor (*.cur)", "*.cur"},
    {"Tagged Image File Format (*.tif,*.tiff)", "Tagged Image File Format (*.tif,*.tiff)",
     "*.tif;*.tiff"},
    {"Photoshop Bilder (*.psd,*.pdd)", "Photoshop Images (*.psd,*.pdd)", "*.psd;*.pdd"},
    {"Portable Bit Map (*.pbm)", "Portable Bit Map (*.pbm)", "*.pbm"},
    {"Portable Gray Map (*.pgm)", "Portable Gray Map (*.pgm)", "*.pgm"},
    {"Portable Pixel Map (*.ppm)", "Portable Pixel Map (*.ppm)", "*.ppm"},
    {"Portable Arbitrary Map (*.pam)", "Portable Arbitrary Map (*.pam)", "*.pam"},
    {"Portable Float Map (*.pfm)", "Portable Float Map (*.pfm)", "*.pfm"},
    {"JPEG 2000 (*.jp2,*.j2k,*.j2c,*.jpx,*.jpc)", "JPEG 2000 (*.jp2,*.j2k,*.j2c,*.jpx,*.jpc)",
     "*.jp2;*.j2k;*.j2c;*.jpx;*.jpc"},
    {"DirectDraw Surface (*.dds)", "DirectDraw Surface (*.dds)", "*.dds"},
    {"Truevision Targa Bilder (*.tga)", "Truevision Targa Images (*.tga)", "*.tga"},
    {"ZSoft Paintbrush Bilder (*.pcx)", "ZSoft Paintbrush Images (*.pcx)", "*.pcx"},
    {"X Window Pixmap (*.xpm)", "X Window Pixmap (*.xpm)", "*.xpm"},
};

}  // namespace

std::span<const TControlText> MainWindowTexts() {
  return kMainWindowTexts;
}

std::optional<std::string_view> MainWindowText(std::string_view control, std::string_view property,
                                               TLanguage language) {
  for (const TControlText& text : kMainWindowTexts)
    if (text.Control == control && text.Property == property)
      return InLanguage(language, text.German, text.English);
  return std::nullopt;
}

std::span<const TNamedText> LanguageTexts() {
  return kLanguageTexts;
}

std::string_view LanguageText(std::string_view name, TLanguage language) {
  for (const TNamedText& text : kLanguageTexts)
    if (text.Name == name) return InLanguage(language, text.German, text.English);
  throw std::invalid_argument("no language text '" + std::string(name) + "'");
}

std::span<const TWindowText> MenuTexts() {
  return kMenuTexts;
}

std::span<const TWindowText> DialogTexts() {
  return kDialogTexts;
}

std::optional<std::string_view> WindowText(std::string_view window, std::string_view control,
                                           std::string_view property, TLanguage language) {
  if (window == "Tprog")
    if (const std::optional<std::string_view> text = MainWindowText(control, property, language))
      return text;
  for (const std::span<const TWindowText> table : {MenuTexts(), DialogTexts()})
    for (const TWindowText& text : table)
      if (text.Window == window && text.Control == control && text.Property == property)
        return InLanguage(language, text.German, text.English);
  return std::nullopt;
}

std::vector<TFilterGroup> ImageOpenFilter(TLanguage language) {
  std::vector<TFilterGroup> groups;
  std::vector<std::string> all;
  for (const TFilterGroupText& text : kOpenFilterGroups) {
    TFilterGroup group{std::string(InLanguage(language, text.German, text.English)), {}};
    for (std::string_view patterns = text.Patterns; !patterns.empty();) {
      const size_t end = std::min(patterns.find(';'), patterns.size());
      group.Patterns.emplace_back(patterns.substr(0, end));
      patterns.remove_prefix(std::min(end + 1, patterns.size()));
    }
    all.insert(all.end(), group.Patterns.begin(), group.Patterns.end());
    groups.push_back(std::move(group));
  }
  groups.front().Patterns = std::move(all);
  return groups;
}

std::string CountLabel(size_t count, TLanguage language) {
  std::string label = std::to_string(count);
  label += LanguageText(count == 1 ? "TextImageSuffix" : "TextImagesSuffix", language);
  return label;
}

}  // namespace pixolan::lang
