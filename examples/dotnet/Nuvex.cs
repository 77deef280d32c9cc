// A .NET binding of nuvex's C interface (include/nuvex/nuvex.h) through P/Invoke: the library is
// libnuvex_c.so on Linux (found through LD_LIBRARY_PATH) and nuvex_c.dll on Windows (found beside
// the program). Errors of the library arrive as NuvexException with its code and message.
using System;
using System.Runtime.InteropServices;

namespace Nuvex
{
    public class NuvexException : Exception
    {
        public int Code { get; private set; }
        public NuvexException(int code, string message) : base(message) { Code = code; }
    }

    // How the datum is shifted between systems (nuvex_options.datum).
    public enum Datum
    {
        Polynomial = 0,  // the engine's shift polynomials, metre-level
        Official = 1     // NTv2 (BeTA2007 or a grid file) and EPSG:1775, centimetre-level
    }

    // Why a point has no path (enum nuvex_reason, the same numbers); Transformer.ReasonText gives
    // the library's text. A later library may give numbers this enum does not name.
    public enum Reason
    {
        None = 0,
        NotFinite = 1,
        OutsideCoordinates = 2,
        NoSuchZone = 3,
        BeyondPole = 4,
        BeyondProjectionLimit = 5,
        OutsideGrid = 6,
        OutsideOfficialArea = 7,
        OutsidePolynomialArea = 8,
        NoZoneOfTarget = 9,
        ImpossibleResult = 10
    }

    // A conversion between two coordinate systems ("E:1", "G:3", ...): safe to use from any number
    // of threads at once. Grid coordinates are metres (Gauss-Krueger eastings carry their zone in
    // their millions), geographic ones decimal degrees.
    public sealed class Transformer : IDisposable
    {
        public const int PointConverted = 0;
        public const int PointWithoutPath = -1;  // outputs NaN, zone 0

        IntPtr handle;

        // zone: 0 = each point's zone from its longitude, else this zone for every output point;
        // zoneWidth 3 or 6 (deg, 6 only changes system 4), 0 = what an EPSG code of system 4
        // names, else 3; zonePrefix: UTM output eastings carry the zone in their millions;
        // datum: the datum shift; grid: Official only, an NTv2 file for system 1 (null: the
        // built-in BeTA2007).
        public Transformer(string source, string target, int zone = 0, int zoneWidth = 0,
                           bool zonePrefix = false, Datum datum = Datum.Polynomial,
                           string grid = null)
        {
            var options = new Native.Options();
            Native.nuvex_options_init(ref options);
            options.ZoneWidth = zoneWidth;
            options.Zone = zone;
            options.ZonePrefix = zonePrefix ? 1 : 0;
            options.Datum = (int)datum;
            // The file name as the platform's C library opens names: UTF-8 on Linux, the ANSI
            // code page on Windows.
            options.Grid = grid == null ? IntPtr.Zero : Marshal.StringToHGlobalAnsi(grid);
            Native.Error error;
            try
            {
                handle = Native.nuvex_transformer_create(source, target, ref options, out error);
            }
            finally
            {
                if (options.Grid != IntPtr.Zero) Marshal.FreeHGlobal(options.Grid);
            }
            if (handle == IntPtr.Zero) throw new NuvexException(error.Code, error.Message);
        }

        // Converts points [offset, offset + count) of the arrays; zone (UTM input zones), zoneOut
        // and status may be null. status[i] is PointConverted or PointWithoutPath.
        public unsafe void Transform(double[] x, double[] y, int[] zone, double[] xOut,
                                     double[] yOut, int[] zoneOut, int[] status, int offset,
                                     int count)
        {
            if (handle == IntPtr.Zero) throw new ObjectDisposedException("Transformer");
            foreach (Array array in new Array[] { x, y, xOut, yOut })
            {
                if (array == null) throw new ArgumentNullException("x, y, xOut and yOut");
            }
            foreach (Array array in new Array[] { x, y, zone, xOut, yOut, zoneOut, status })
            {
                // offset + count may exceed int: compare what is left after the offset.
                if (array != null && (offset < 0 || count < 0 || offset > array.Length ||
                                      count > array.Length - offset))
                {
                    throw new ArgumentOutOfRangeException("count", "arrays too short");
                }
            }
            Native.Error error;
            int result;
            fixed (double* px = x, py = y, pxOut = xOut, pyOut = yOut)
            fixed (int* pzone = zone, pzoneOut = zoneOut, pstatus = status)
            {
                result = Native.nuvex_transform(
                    handle, (UIntPtr)count, px + offset, py + offset,
                    pzone == null ? null : pzone + offset, pxOut + offset, pyOut + offset,
                    pzoneOut == null ? null : pzoneOut + offset,
                    pstatus == null ? null : pstatus + offset, out error);
            }
            if (result != 0) throw new NuvexException(error.Code, error.Message);
        }

        public void Transform(double[] x, double[] y, int[] zone, double[] xOut, double[] yOut,
                              int[] zoneOut, int[] status)
        {
            Transform(x, y, zone, xOut, yOut, zoneOut, status, 0, x == null ? 0 : x.Length);
        }

        // Why Transform gives the point (x, y, zone as Transform takes them) PointWithoutPath;
        // Reason.None when it converts.
        public Reason Explain(double x, double y, int zone = 0)
        {
            if (handle == IntPtr.Zero) throw new ObjectDisposedException("Transformer");
            Native.Error error;
            int reason;
            if (Native.nuvex_explain(handle, x, y, zone, out reason, out error) != 0)
            {
                throw new NuvexException(error.Code, error.Message);
            }
            return (Reason)reason;
        }

        // The library's text of a reason, e.g. "northing beyond the pole"; "" for Reason.None.
        public static string ReasonText(Reason reason)
        {
            return Marshal.PtrToStringAnsi(Native.nuvex_reason_text((int)reason));
        }

        public void Dispose()
        {
            Native.nuvex_transformer_destroy(handle);
            handle = IntPtr.Zero;
            GC.SuppressFinalize(this);
        }

        ~Transformer() { Native.nuvex_transformer_destroy(handle); }

        public static string Version { get { return Marshal.PtrToStringAnsi(Native.nuvex_version()); } }

        // An angle (deg) as sign (-1 or 1, for the whole angle), degrees, minutes and seconds with
        // `decimals` decimals shown (seconds that would show as 60 carried).
        public static void Deg2Dms(double angle, int decimals, out int sign, out int degrees,
                                   out int minutes, out double seconds)
        {
            Native.Error error;
            if (Native.nuvex_deg2dms(angle, decimals, out sign, out degrees, out minutes,
                                     out seconds, out error) != 0)
            {
                throw new NuvexException(error.Code, error.Message);
            }
        }

        public static double Dms2Deg(int sign, int degrees, int minutes, double seconds)
        {
            Native.Error error;
            double angle;
            if (Native.nuvex_dms2deg(sign, degrees, minutes, seconds, out angle, out error) != 0)
            {
                throw new NuvexException(error.Code, error.Message);
            }
            return angle;
        }
    }

    // The declarations of nuvex.h as .NET sees them.
    static unsafe class Native
    {
        const string Library = "nuvex_c";

        [StructLayout(LayoutKind.Sequential, CharSet = CharSet.Ansi)]
        public struct Error
        {
            public int Code;
            [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 256)] public string Message;
        }

        [StructLayout(LayoutKind.Sequential)]
        public struct Options
        {
            public UIntPtr Size;
            public int ZoneWidth;
            public int Zone;
            public int ZonePrefix;
            public int Datum;
            public IntPtr Grid;
        }

        [DllImport(Library)] public static extern void nuvex_options_init(ref Options options);
        [DllImport(Library, CharSet = CharSet.Ansi)]
        public static extern IntPtr nuvex_transformer_create(string source, string target,
                                                             ref Options options, out Error error);
        [DllImport(Library)]
        public static extern int nuvex_transform(IntPtr t, UIntPtr count, double* x, double* y,
                                                 int* zone, double* xOut, double* yOut,
                                                 int* zoneOut, int* status, out Error error);
        [DllImport(Library)]
        public static extern int nuvex_explain(IntPtr t, double x, double y, int zone,
                                               out int reason, out Error error);
        [DllImport(Library)] public static extern IntPtr nuvex_reason_text(int reason);
        [DllImport(Library)] public static extern void nuvex_transformer_destroy(IntPtr t);
        [DllImport(Library)] public static extern IntPtr nuvex_version();
        [DllImport(Library)]
        public static extern int nuvex_deg2dms(double angle, int decimals, out int sign,
                                               out int degrees, out int minutes,
                                               out double seconds, out Error error);
        [DllImport(Library)]
        public static extern int nuvex_dms2deg(int sign, int degrees, int minutes, double seconds,
                                               out double angle, out Error error);
    }
}
