#pragma once

#include <QByteArray>
#include <QString>

namespace orvelle {

class Form;

// Builds a window from a layout: a JSON object describing the window and, under "components",
// its components in creation order, each nested under its parent:
//
//   { "class": "MainWindow", "name": "MainWindow",
//     "properties": { "Caption": "Orvelle", "ClientWidth": 649, "Color": "clBtnFace",
//                     "Font": { "Name": "Tahoma", "Height": 11 } },
//     "events": { "OnCreate": "FormCreate" },
//     "components": [
//       { "name": "playerPanel", "class": "Panel", "properties": { "Align": "alClient" },
//         "components": [ { "name": "side", "class": "TscPanel",
//                           "properties": { "StyleKind": "scpsTransparent",
//                                           "CaptionGlowEffect": { "GlowSize": 9 } },
//                           "events": { "OnClick": "sideClick" } } ] } ] }
//
// Classes are looked up in the ClassRegistry, after ClassRegistry::RegisterAll: the toolkit's
// classes, and the kit's in every program that links the kit (orvelle_controls). Only the listed properties are written, in the
// order the class declares its Q_PROPERTYs (base classes first), so a property the layout does
// not list keeps its class default. Values: JSON booleans, numbers and strings for bool, int,
// double and text; enumerations and sets by their names ("alClient", ["akTop", "akRight"]);
// colours by name ("clBtnFace", "#RRGGBB", "$00BBGGRR", "clNone"); pictures by resource path;
// another component by its name (resolved once the whole tree exists); an option set (a
// read-only property holding an object) by a JSON object of its own properties; a Collection by
// an array of item objects.
//
// Events are signals of the component ("OnClick"), bound after the whole tree is built and
// every component's Loaded ran, to the window's own methods of that name whose parameters are
// the event's (or a leading part of them). Each handler runs through Application::RunGuarded.
// No handler runs during loading. Unknown classes, properties, events, handlers, component
// references and values of the wrong kind fail with an Error naming the layout and the place.
class LayoutLoader {
 public:
  static void Load(Form* form, const QString& layoutPath);
  static void LoadFromJson(Form* form, const QByteArray& json, const QString& sourceName);
};

}  // namespace orvelle
