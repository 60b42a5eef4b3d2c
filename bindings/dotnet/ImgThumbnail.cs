// quintaro-imgthumbnail for .NET: one file to drop into a project, or the
// NuGet package Quintaro.ImgThumbnail built from it. It needs the native
// libraries beside the program (quintaro-imgthumbnail.dll and
// quintaro-imgthumbnail-ex.dll on Windows; libquintaro-imgthumbnail.so and
// libquintaro-imgthumbnail-ex.so where the loader finds them on Linux); the
// package carries them.
//
//   Quintaro.ImgThumbnail.Square("photo.jpg", "thumb.png", 160);
//   Quintaro.ImgThumbnail.Aspect("photo.jpg", "wide.jpg", 320, 2);   // 16:9
//   Quintaro.ImgThumbnail.Smart("photo.jpg", "crop.png", 200, 300);
//   Quintaro.ImgThumbnail.Batch("photos", "thumbs", 128);
//   Quintaro.ImgThumbnail.Thumbnail("phone.jpg", "fit.jpg",
//       new Quintaro.ThumbnailOptions { Mode = Quintaro.ThumbnailMode.Fit, Width = 320, Height = 240 });
//
// Each method returns when its thumbnail (for Batch: at least one) was
// written and throws ImgThumbnailException otherwise, whose Message is the
// library's own message, which also names the limits of sizes and of input
// images when a call goes past them. Ratios are the library's indices:
// 0 (1:1), 1 (4:3), 2 (16:9) and 3 (3:2), IMGTHUMBNAIL_RATIO_* in its header.
//
// Paths reach the library as narrow strings in the system's ANSI code page
// (on Linux, UTF-8): a name that code page cannot spell does not reach its
// file. The seven functions' library keeps one last-error message per
// process, so every call of Square, Aspect, Smart and Batch goes through one
// lock: threads may call, they take turns; for parallel work use processes.
// Thumbnail is the options library (quintaro-imgthumbnail-ex), whose
// message is per thread: it takes no lock, and threads run it at once.
using System;
using System.Runtime.InteropServices;

namespace Quintaro
{
    /// <summary>A call of the library failed; Message is the library's message.</summary>
    public class ImgThumbnailException : Exception
    {
        public ImgThumbnailException(string message) : base(message) { }
    }

    /// <summary>What Thumbnail keeps of the image (as seen upright) for a Width x Height box.</summary>
    public enum ThumbnailMode
    {
        /// <summary>Exactly Width x Height: the largest centred region of that shape.</summary>
        Cover = 0,
        /// <summary>The whole image inside the box, its shape kept.</summary>
        Fit = 1,
        /// <summary>Fit, centred on a Width x Height canvas of the Background colour.</summary>
        Pad = 2,
        /// <summary>The Width x Height window with the most detail (Smart's thumbnail).</summary>
        Smart = 3,
        /// <summary>Aspect's thumbnail: the centred region of Ratio, Width pixels wide (Height not read).</summary>
        Aspect = 4,
    }

    /// <summary>The options of one Thumbnail call; the defaults are the library's.</summary>
    public sealed class ThumbnailOptions
    {
        public ThumbnailMode Mode { get; set; } = ThumbnailMode.Cover;
        /// <summary>The box, 1..4096 each (Aspect reads Width only).</summary>
        public int Width { get; set; }
        public int Height { get; set; }
        /// <summary>Aspect only: 0 (1:1), 1 (4:3), 2 (16:9), 3 (3:2).</summary>
        public int Ratio { get; set; }
        /// <summary>Turn the image upright by its EXIF Orientation tag first.</summary>
        public bool Rotate { get; set; } = true;
        /// <summary>Enlarge to the box; false keeps a smaller image or region at its own size.</summary>
        public bool Upscale { get; set; } = true;
        /// <summary>JPEG quality, 1..100.</summary>
        public int Quality { get; set; } = 90;
        /// <summary>Pad's canvas as 0xRRGGBBAA (0: transparent).</summary>
        public uint Background { get; set; }
    }

    /// <summary>Thumbnails of image files through the native quintaro-imgthumbnail libraries.</summary>
    public static class ImgThumbnail
    {
        // Resolved by the runtime: quintaro-imgthumbnail.dll on Windows,
        // libquintaro-imgthumbnail.so on Linux (Mono adds prefix and suffix).
        const string Library = "quintaro-imgthumbnail";
        const string ExLibrary = "quintaro-imgthumbnail-ex";

        // One message per process: one caller at a time, and the message read
        // before the next call may replace it.
        static readonly object CallLock = new object();

        // The platform's standard calling convention (cdecl, which on 64-bit
        // Windows is the one convention); narrow strings in the ANSI code page.
        [DllImport(Library, EntryPoint = "imgthumbnail_square", CallingConvention = CallingConvention.Cdecl,
                   CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true, ExactSpelling = true)]
        static extern int NativeSquare(string input, string output, int size);

        [DllImport(Library, EntryPoint = "imgthumbnail_aspect", CallingConvention = CallingConvention.Cdecl,
                   CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true, ExactSpelling = true)]
        static extern int NativeAspect(string input, string output, int size, int ratio);

        [DllImport(Library, EntryPoint = "imgthumbnail_smart", CallingConvention = CallingConvention.Cdecl,
                   CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true, ExactSpelling = true)]
        static extern int NativeSmart(string input, string output, int width, int height);

        [DllImport(Library, EntryPoint = "imgthumbnail_batch", CallingConvention = CallingConvention.Cdecl,
                   CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true, ExactSpelling = true)]
        static extern int NativeBatch(string inputDir, string outputDir, int size);

        // The library owns the message: a string return type would make the
        // marshaller free it, so the pointer is read and copied instead.
        [DllImport(Library, EntryPoint = "imgthumbnail_last_error", CallingConvention = CallingConvention.Cdecl,
                   ExactSpelling = true)]
        static extern IntPtr NativeLastError();

        // imgthumbnail_ex_options: nine 32-bit fields in this order, no padding.
        [StructLayout(LayoutKind.Sequential)]
        struct NativeOptions
        {
            public int StructSize, Mode, Width, Height, Ratio, Rotate, Upscale, Quality;
            public uint Background;
        }

        [DllImport(ExLibrary, EntryPoint = "imgthumbnail_ex_defaults", CallingConvention = CallingConvention.Cdecl,
                   ExactSpelling = true)]
        static extern void NativeDefaults(out NativeOptions options);

        [DllImport(ExLibrary, EntryPoint = "imgthumbnail_ex_thumbnail", CallingConvention = CallingConvention.Cdecl,
                   CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true, ExactSpelling = true)]
        static extern int NativeThumbnail(string input, string output, ref NativeOptions options);

        // The calling thread's message, owned by the library: copied, never freed.
        [DllImport(ExLibrary, EntryPoint = "imgthumbnail_ex_last_error", CallingConvention = CallingConvention.Cdecl,
                   ExactSpelling = true)]
        static extern IntPtr NativeExLastError();

        /// <summary>The largest centred square of input, scaled to size x size.</summary>
        public static void Square(string input, string output, int size)
        {
            lock (CallLock) Check(NativeSquare(input, output, size));
        }

        /// <summary>The largest centred region of ratio 0 (1:1), 1 (4:3), 2 (16:9) or 3 (3:2), scaled to size pixels wide.</summary>
        public static void Aspect(string input, string output, int size, int ratio)
        {
            lock (CallLock) Check(NativeAspect(input, output, size, ratio));
        }

        /// <summary>The width x height crop of input with the most detail.</summary>
        public static void Smart(string input, string output, int width, int height)
        {
            lock (CallLock) Check(NativeSmart(input, output, width, height));
        }

        /// <summary>A size x size square of every .png/.jpg/.jpeg/.bmp/.tga file directly inside inputDir, into outputDir.</summary>
        public static void Batch(string inputDir, string outputDir, int size)
        {
            lock (CallLock) Check(NativeBatch(inputDir, outputDir, size));
        }

        /// <summary>The thumbnail options describes, of input, written to output (no lock: threads run at once).</summary>
        public static void Thumbnail(string input, string output, ThumbnailOptions options)
        {
            if (options == null) throw new ArgumentNullException(nameof(options));
            NativeOptions native;
            NativeDefaults(out native);
            native.Mode = (int)options.Mode;
            native.Width = options.Width;
            native.Height = options.Height;
            native.Ratio = options.Ratio;
            native.Rotate = options.Rotate ? 1 : 0;
            native.Upscale = options.Upscale ? 1 : 0;
            native.Quality = options.Quality;
            native.Background = options.Background;
            // A platform call runs on the calling thread, whose message the
            // next one reads.
            if (NativeThumbnail(input, output, ref native) != 0) return;
            throw new ImgThumbnailException(Marshal.PtrToStringAnsi(NativeExLastError()) ?? "");
        }

        // Called with the lock held, right after the call.
        static void Check(int ok)
        {
            if (ok != 0) return;
            throw new ImgThumbnailException(Marshal.PtrToStringAnsi(NativeLastError()) ?? "");
        }
    }
}
