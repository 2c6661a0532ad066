// SPDX-License-Identifier: GPL-3.0-or-later
#include "table_grapher.h"

#include "duty_table.h"

namespace {

// MathGL colour ids, redefined to the bands from the lowest duty to the highest.
const char band_ids[] = {'B', 'b', 'c', 'l', 'g', 'e', 'y', 'q', 'r'};
const int band_duties[] = {5, 15, 25, 35, 46, 57, 75, 85, 95};

} // namespace

table_grapher::table_grapher()
{
    mgl_data_create(&data, 16, 16, 1);
    for (int i = 0; i < 9; ++i) {
        QColor text;
        duty_table::calc_cell_colors(quint8(band_duties[i]), text, band_colors[i]);
    }
}

int table_grapher::Draw(mglGraph* gr)
{
    HMGL g = gr->Self();
    for (int i = 0; i < 9; ++i)
        mgl_set_color(band_ids[i], band_colors[i].redF(), band_colors[i].greenF(),
                      band_colors[i].blueF());
    mgl_box_str(g, "", 1);
    mgl_set_ranges(g, 0, data.nx, 0, data.ny, 0, 100);
    mgl_set_origin(g, 0, 0, 0);
    // One colour per tenth of 0..100 %, mesh lines on, as the table bands its cells.
    mgl_surf(g, &data, "#Bbclgeyqrr", "meshnum 15");
    return 0;
}
